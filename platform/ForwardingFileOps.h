#pragma once

#include "platform/FileOps.h"

namespace platform {

// File operations that pass every call on to others (the POSIX ones unless told otherwise):
// the base of the doubles that count, fail or record some calls, each overriding only those.
// Views are not passed on, so every read reaches Read, where a double sees it.
class ForwardingFileOps : public FileOps {
public:
    explicit ForwardingFileOps(FileOps& wrapped = PosixFiles()) : wrapped_(wrapped) {}

    SystemError Open(const std::string& path, FileDisposition disposition, FileAccess access,
                     FileSharing sharing, FileHandle& handle) override {
        return wrapped_.Open(path, disposition, access, sharing, handle);
    }
    SystemError Read(FileHandle handle, std::int64_t offset, void* buffer, std::size_t length,
                     std::size_t& done) override {
        return wrapped_.Read(handle, offset, buffer, length, done);
    }
    SystemError Write(FileHandle handle, std::int64_t offset, const void* buffer, std::size_t length,
                      std::size_t& done) override {
        return wrapped_.Write(handle, offset, buffer, length, done);
    }
    SystemError Size(FileHandle handle, std::int64_t& size) override { return wrapped_.Size(handle, size); }
    SystemError Truncate(FileHandle handle, std::int64_t length) override {
        return wrapped_.Truncate(handle, length);
    }
    SystemError Flush(FileHandle handle) override { return wrapped_.Flush(handle); }
    SystemError Close(FileHandle handle) override { return wrapped_.Close(handle); }
    SystemError Delete(const std::string& path) override { return wrapped_.Delete(path); }
    SystemError Rename(const std::string& from, const std::string& to) override {
        return wrapped_.Rename(from, to);
    }
    SystemError RenameToNew(const std::string& from, const std::string& to) override {
        return wrapped_.RenameToNew(from, to);
    }
    SystemError DeleteIfLeftOver(const std::string& path) override { return wrapped_.DeleteIfLeftOver(path); }
    SystemError DeleteSecondName(const std::string& path, const std::string& keptPrefix,
                                 const std::string& notKeptPrefix) override {
        return wrapped_.DeleteSecondName(path, keptPrefix, notKeptPrefix);
    }
    SystemError FlushFolder(const std::string& path) override { return wrapped_.FlushFolder(path); }
    SystemError LockRange(FileHandle handle, std::int64_t offset, std::int64_t length) override {
        return wrapped_.LockRange(handle, offset, length);
    }
    SystemError UnlockRange(FileHandle handle, std::int64_t offset, std::int64_t length) override {
        return wrapped_.UnlockRange(handle, offset, length);
    }
    PathKind Inspect(const std::string& path) override { return wrapped_.Inspect(path); }

protected:
    FileOps& Wrapped() const { return wrapped_; }

private:
    FileOps& wrapped_;
};

} // namespace platform
