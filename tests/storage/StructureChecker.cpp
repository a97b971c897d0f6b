#include "StructureChecker.h"

#include "support/FileText.h"

#include <algorithm>
#include <set>
#include <sstream>

namespace storagetest {

namespace {

std::int32_t I32(const std::string& b, std::int64_t at) {
    if (at < 0 || at + 4 > static_cast<std::int64_t>(b.size())) return 0;
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(b[static_cast<std::size_t>(at + i)]);
    return static_cast<std::int32_t>(v);
}

int U16(const std::string& b, std::int64_t at) {
    if (at < 0 || at + 2 > static_cast<std::int64_t>(b.size())) return 0;
    return static_cast<unsigned char>(b[static_cast<std::size_t>(at)]) |
           (static_cast<unsigned char>(b[static_cast<std::size_t>(at + 1)]) << 8);
}

int CompareText(const std::string& a, const std::string& b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

class KeyWalk {
public:
    KeyWalk(const std::string& index, std::int64_t rowSize, std::int64_t section, int k, IndexReport& report)
        : index_(index), rowSize_(rowSize), section_(section), k_(k), report_(report) {}

    void Run(KeyReport& key) {
        key_ = &key;
        if (key.root != 0) key.shape = Visit(key.root, 1, true);
        key.height = leafDepth_;
        if (static_cast<std::int32_t>(key.entries.size()) != key.entryCount)
            Fault("entry count " + std::to_string(key.entryCount) + " but " +
                  std::to_string(key.entries.size()) + " items");
        WalkFreeChain();
        for (std::int32_t p = 1; p <= key.allocated; ++p)
            if (!reached_.count(p) && !free_.count(p))
                Fault("page " + std::to_string(p) + " neither reachable nor free");
    }

private:
    void Fault(const std::string& what) {
        report_.faults.push_back("key " + std::to_string(k_) + ": " + what);
    }
    std::int64_t Offset(std::int32_t page) const { return page * rowSize_ + section_; }

    // Returns the shape of the subtree.
    std::string Visit(std::int32_t page, int depth, bool isRoot) {
        if (depth > 8) {
            Fault("height above 8");
            return "?";
        }
        if (page < 1 || page > key_->allocated) {
            Fault("child " + std::to_string(page) + " outside the allocated pages");
            return "?";
        }
        if (!reached_.insert(page).second) {
            Fault("page " + std::to_string(page) + " reached twice");
            return "?";
        }
        const std::int64_t at = Offset(page);
        const int n = U16(index_, at);
        const int stride = key_->keyLength + 9;
        key_->pages.emplace_back(page, n);
        if (n < 1 || n > 62 || (!isRoot && n < 31))
            Fault("page " + std::to_string(page) + " holds " + std::to_string(n) + " items");
        std::string shape = std::to_string(n);
        if (n < 1 || n > 62) return shape;
        report_.significant.append(index_, static_cast<std::size_t>(at),
                                   6 + static_cast<std::size_t>(n) * stride);
        const std::int32_t leftmost = I32(index_, at + 2);
        const bool leaf = leftmost == 0;
        if (leaf) {
            if (leafDepth_ == 0) leafDepth_ = depth;
            if (leafDepth_ != depth)
                Fault("leaves at depths " + std::to_string(leafDepth_) + " and " + std::to_string(depth));
        } else {
            shape += "(" + Visit(leftmost, depth + 1, false);
        }
        for (int i = 1; i <= n; ++i) {
            const std::int64_t item = at + 6 + static_cast<std::int64_t>(i - 1) * stride;
            const std::int32_t reference = I32(index_, item);
            const std::int32_t child = I32(index_, item + 4);
            const int length = static_cast<unsigned char>(index_[static_cast<std::size_t>(item + 8)]);
            if (length > key_->keyLength) Fault("text longer than the key in page " + std::to_string(page));
            std::string text = index_.substr(static_cast<std::size_t>(item + 9),
                                             static_cast<std::size_t>(std::min(length, key_->keyLength)));
            Entry(text, reference);
            if ((child == 0) != leaf)
                Fault("page " + std::to_string(page) + " mixes leaf and inner children");
            if (child != 0) shape += " " + Visit(child, depth + 1, false);
        }
        if (!leaf) shape += ")";
        return shape;
    }

    void Entry(const std::string& text, std::int32_t reference) {
        auto& entries = key_->entries;
        if (!entries.empty()) {
            const auto& [lastText, lastReference] = entries.back();
            int r = CompareText(lastText, text);
            if (r == 0 && key_->duplicates)
                r = lastReference < reference ? -1 : (lastReference > reference ? 1 : 0);
            if (r >= 0) Fault("entries out of order at '" + text + "'");
        }
        entries.emplace_back(text, reference);
    }

    void WalkFreeChain() {
        std::int32_t page = I32(index_, section_); // first free
        while (page != -1) {
            if (page < 1 || page > key_->allocated) {
                Fault("free chain leaves the allocated pages at " + std::to_string(page));
                return;
            }
            if (!free_.insert(page).second) {
                Fault("free chain has a cycle at " + std::to_string(page));
                return;
            }
            if (reached_.count(page)) Fault("free page " + std::to_string(page) + " is reachable");
            key_->freeChain.push_back(page);
            const std::int32_t link = I32(index_, Offset(page));
            report_.significant.append(index_, static_cast<std::size_t>(Offset(page)), 4);
            page = link;
        }
        if (static_cast<std::int32_t>(key_->freeChain.size()) != key_->freeCount)
            Fault("free count " + std::to_string(key_->freeCount) + " but a chain of " +
                  std::to_string(key_->freeChain.size()));
    }

    const std::string& index_;
    std::int64_t rowSize_;
    std::int64_t section_;
    int k_;
    IndexReport& report_;
    KeyReport* key_ = nullptr;
    int leafDepth_ = 0;
    std::set<std::int32_t> reached_;
    std::set<std::int32_t> free_;
};

} // namespace

std::string IndexReport::FaultText() const {
    std::ostringstream out;
    for (const auto& f : faults)
        out << f << "\n";
    return out.str();
}

IndexReport CheckIndexFile(const std::string& dataPath, const std::string& indexPath) {
    IndexReport report;
    const std::string data = FileText(dataPath);
    const std::string index = FileText(indexPath);
    const int keys = data.size() >= 21 ? static_cast<unsigned char>(data[16]) : 0;
    if (data.size() < 21) report.faults.push_back("data header missing");
    // Section offsets follow from the page sizes in the headers, key after key.
    std::int64_t rowSize = 0;
    std::vector<std::int64_t> sections;
    for (int k = 1; k <= keys; ++k) {
        sections.push_back(rowSize);
        rowSize += I32(index, rowSize + 12);
    }
    if (keys > 0)
        report.significant.append(index, 0,
                                  static_cast<std::size_t>(std::min<std::int64_t>(
                                      rowSize, static_cast<std::int64_t>(index.size()))));
    for (int k = 1; k <= keys; ++k) {
        const std::int64_t s = sections[static_cast<std::size_t>(k - 1)];
        KeyReport key;
        key.freeCount = I32(index, s + 4);
        key.allocated = I32(index, s + 8);
        const std::int32_t pageSize = I32(index, s + 12);
        key.root = I32(index, s + 16);
        key.duplicates =
            index.size() > static_cast<std::size_t>(s + 20) && index[static_cast<std::size_t>(s + 20)] != 0;
        key.entryCount = I32(index, s + 22);
        const int itemsPerPage = U16(index, s + 26);
        if (itemsPerPage != 62)
            report.faults.push_back("key " + std::to_string(k) + ": items per page " +
                                    std::to_string(itemsPerPage));
        key.keyLength = (pageSize - 564) / 62;
        if (pageSize != 62 * key.keyLength + 564 || key.keyLength < 1 || key.keyLength > 30) {
            report.faults.push_back("key " + std::to_string(k) + ": page size " + std::to_string(pageSize));
            report.keys.push_back(key);
            continue;
        }
        if (static_cast<std::int64_t>(index.size()) < (key.allocated + 1) * rowSize)
            report.faults.push_back("key " + std::to_string(k) + ": file shorter than its allocated pages");
        KeyWalk(index, rowSize, s, k, report).Run(key);
        report.keys.push_back(std::move(key));
    }
    return report;
}

} // namespace storagetest
