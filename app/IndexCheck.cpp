#include "IndexCheck.h"

#include "BrinovaDB.h"

#include "platform/LittleEndian.h"

#include <algorithm>
#include <charconv>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::uint16_t kBodyKey = 1;
constexpr std::uint16_t kTestKey = 2;

// An entry as (the record number its text names, its reference), so that entries and records
// compare as sorted lists of numbers.
using Entry = std::pair<std::int32_t, std::int32_t>;

struct LiveRecords {
    std::vector<Entry> bodies; // (n, n) for each live body n, ascending
    std::vector<Entry> tests;  // (parent, n) for each live test n, ascending
    bool orphans = false;      // a live test names a record that is no live body
};

// The record number a key text names, written as MakeRecordKey writes it; 0 for any other text.
std::int32_t NumberNamed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return 0;
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(text.data() + first, text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < 1) return 0;
    return MakeRecordKey(number) == text ? number : 0;
}

// Every record, live as the rebuild takes them: free-chain word 0 and the kind of a body or a
// test. Read some hundred at a time. False, with the status set, when they could not be read.
bool ReadLiveRecords(Fileblock* fb, LiveRecords& live) {
    constexpr std::size_t kRecordsARead = 256;
    std::vector<unsigned char> records(kRecordsARead * kStoredRecordSize);
    std::vector<bool> isBody(1, false); // of record n at n
    for (std::int32_t first = 1;;) {
        const std::int32_t read = FbReadRecords(fb, first, records);
        if (!FbOk) return false;
        if (read == 0) break;
        for (std::int32_t i = 0; i < read; ++i) {
            const unsigned char* bytes = records.data() + static_cast<std::size_t>(i) * kStoredRecordSize;
            const std::int32_t n = first + i;
            const std::int32_t kind = LiveKind(bytes);
            isBody.push_back(kind == rkBody);
            if (kind == rkBody) live.bodies.emplace_back(n, n);
            if (kind == rkTest) live.tests.emplace_back(platform::GetI32(bytes, stored_offset::parent), n);
        }
        first += read;
    }
    const auto liveBody = [&isBody](std::int32_t record) {
        return record >= 1 && static_cast<std::size_t>(record) < isBody.size() &&
               isBody[static_cast<std::size_t>(record)];
    };
    live.orphans = !std::all_of(live.tests.begin(), live.tests.end(),
                                [&](const Entry& test) { return liveBody(test.first); });
    std::sort(live.tests.begin(), live.tests.end());
    return true;
}

// Every entry of the key, in key order, but no more than `most`: an index with more entries
// than there are records to name is wrong whatever they are. False, with the status set, when
// a page could not be read.
bool ReadEntries(Fileblock* fb, std::uint16_t key, std::size_t most, std::vector<Entry>& entries) {
    FbRewindKey(fb, key);
    if (!FbOk) return false;
    while (entries.size() <= most) {
        std::int32_t reference = 0;
        std::string text;
        FbStepKey(fb, key, reference, text);
        if (!FbOk) return FbErrorCode == fberr::kNoLargerKey;
        entries.emplace_back(NumberNamed(text), reference);
    }
    return true;
}

// The key's entries are `expected` (sorted), each once. Texts of numbers written alike sort
// as the numbers do, so the key's order is nearly always theirs already.
bool SameEntries(std::vector<Entry>& entries, const std::vector<Entry>& expected) {
    if (entries.size() != expected.size()) return false;
    if (!std::is_sorted(entries.begin(), entries.end())) std::sort(entries.begin(), entries.end());
    return entries == expected;
}

} // namespace

std::int32_t IndexDamage(Fileblock* fb) {
    LiveRecords live;
    if (!ReadLiveRecords(fb, live)) return FbErrorCode;
    if (live.orphans) return fberr::kFileDefect;
    for (const auto& [key, expected] :
         {std::pair{kBodyKey, &live.bodies}, std::pair{kTestKey, &live.tests}}) {
        std::vector<Entry> entries;
        entries.reserve(expected->size());
        if (!ReadEntries(fb, key, expected->size(), entries)) return FbErrorCode;
        if (!SameEntries(entries, *expected)) return fberr::kFileDefect;
    }
    return 0;
}
