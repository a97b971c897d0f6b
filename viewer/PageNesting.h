#pragma once

#include <QStringView>

namespace viewer {

// The advice page nests its elements some ten deep. The browser's layout takes time that
// doubles with each table nested in another and recurses once per level, so a page nested
// far deeper could hang or crash the viewer; such a page is not shown.
inline constexpr int kMaxPageNesting = 16;

// How deeply the elements of an HTML text nest, counting as the browser's parser does: void
// and self-closed elements add one level only for themselves, an end tag closes the elements
// opened after its own, and a new cell, row, paragraph or list item closes the one before it.
// Comments, declarations and the text of scripts and style sheets do not count. Counting stops
// past `stopAfter`, which is then returned plus one.
int PageNesting(QStringView html, int stopAfter = kMaxPageNesting);

} // namespace viewer
