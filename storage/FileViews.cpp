#include "storage/FileViews.h"

#include "storage/FilePrimitives.h"

#include <algorithm>
#include <unordered_map>

namespace storage {

namespace {

struct View {
    platform::FileOps* owner = nullptr;
    const unsigned char* bytes = nullptr; // none: the owner offers no view of this file
    std::int64_t length = 0;              // mapped
    std::int64_t size = 0;                // the file's size as known here
    bool cut = false;                     // another program made the file shorter under the view
};

std::unordered_map<platform::FileHandle, View>& Views() {
    static std::unordered_map<platform::FileHandle, View> views;
    return views;
}

void Release(View& view) {
    if (view.bytes != nullptr) view.owner->ReleaseView(view.bytes, view.length);
    view = View{};
}

// A file cut under the view shows zeros from its new end to the end of that page, and no page
// after it: a copy from one fails. So a read whose last byte is not zero lay within the file;
// otherwise a byte of the next page tells, while the file reached it, and only a read in the
// last page of the file as known here asks the file's size.
bool CutBefore(platform::FileOps& files, const FileRecord& file, const View& view, std::int64_t end,
               unsigned char last) {
    if (last != 0) return false;
    const std::int64_t page = platform::ViewPageSize();
    const std::int64_t next = (end - 1) / page * page + page;
    unsigned char probe = 0;
    if (next < view.size && next < view.length && platform::CopyFromView(&probe, view.bytes + next, 1))
        return false;
    std::int64_t size = 0;
    return files.Size(file.handle, size) == platform::win32::kSuccess && size < end;
}

} // namespace

bool ReadThroughView(FileRecord& file, std::int64_t offset, std::int32_t length, void* buffer,
                     bool continued) {
    if (!FbOk || !file.IsOpen() || offset < 0 || length <= 0) return false;
    const std::int64_t end = offset + length;
    platform::FileOps& files = platform::Files();
    View& view = Views()[file.handle];
    if (view.cut) {
        Fail(fberr::kReadError);
        return true;
    }
    const bool outgrown = view.bytes != nullptr && end <= view.size && end > view.length;
    if (view.owner != &files || outgrown) {
        Release(view);
        view.owner = &files;
        view.bytes = files.MapView(file.handle, view.size, view.length);
    }
    if (view.bytes == nullptr || end > view.size || end > view.length) return false;
    if (!platform::CopyFromView(buffer, view.bytes + offset, static_cast<std::size_t>(length)) ||
        (!continued &&
         CutBefore(files, file, view, end, static_cast<const unsigned char*>(buffer)[length - 1]))) {
        // What this process wrote is gone: no later call may take the file for sound.
        Release(view);
        view.cut = true;
        Fail(fberr::kReadError);
        return true;
    }
    file.position = end;
    return true;
}

void NoteWritten(const FileRecord& file, std::int64_t offset, std::int64_t length) {
    auto& views = Views();
    const auto it = views.find(file.handle);
    if (it == views.end()) return;
    // Written by other file operations than the view's: what reached the file is not known.
    if (it->second.owner != &platform::Files()) {
        DropView(file);
        return;
    }
    it->second.size = std::max(it->second.size, offset + length);
}

void DropView(const FileRecord& file) {
    if (!FileWasCut(file)) {
        ForgetView(file);
        return;
    }
    NoteCut(file);
}

void NoteCut(const FileRecord& file) {
    // The cut is remembered until the file is closed.
    View& view = Views()[file.handle];
    Release(view);
    view.cut = true;
}

void ForgetView(const FileRecord& file) {
    auto& views = Views();
    const auto it = views.find(file.handle);
    if (it == views.end()) return;
    Release(it->second);
    views.erase(it);
}

bool FileWasCut(const FileRecord& file) {
    const auto& views = Views();
    const auto it = views.find(file.handle);
    return it != views.end() && it->second.cut;
}

void FileReadAtViewed(FileRecord& file, bool viewable, std::int64_t offset, std::int32_t length,
                      void* buffer) {
    if (!viewable || !ReadThroughView(file, offset, length, buffer)) FileReadAt(file, offset, length, buffer);
}

} // namespace storage
