#include "AdviceFrame.h"

std::string SectionTitleBar(std::string_view title) {
    std::string text = "<div align=\"left\" style=\"font-size: 11pt; background: #EEEEEE\"><b>";
    text += title;
    text += "</b></div>";
    return text;
}

std::string ReadingSection(int anchorNumber, std::string_view title, std::string_view result,
                           std::string_view suffix, std::string_view body) {
    std::string heading(title);
    heading += " (";
    heading += result;
    heading += suffix;
    return "<A name=\"t" + std::to_string(anchorNumber) + "\"></A><p>" + SectionTitleBar(heading) +
           kSectionBodyOpen + std::string(body) + kSectionClose;
}

std::string ConditionSection(std::string_view anchorName, std::string_view title, std::string_view body) {
    return "<A name=\"" + std::string(anchorName) + "\"></A><p>" + SectionTitleBar(title) + kSectionBodyOpen +
           std::string(body) + kSectionClose;
}
