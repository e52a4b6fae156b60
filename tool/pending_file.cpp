#include "pending_file.h"

#include <cerrno>
#include <cstdio>
#include <string>
#include <system_error>

#include <fcntl.h>
#if defined(_WIN32)
#include <io.h>
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include <fmt/format.h>

namespace ljungcv {

namespace {

[[noreturn]] void fail(int error_number, const std::filesystem::path& path)
{
    throw std::system_error(error_number, std::generic_category(), fmt::format("cannot write '{}'", path.string()));
}

}  // namespace

PendingFile::PendingFile(std::filesystem::path target) : target_(std::move(target))
{
    // A short name of its own, so that a long target name cannot make it too
    // long; hidden, and with the target's extension.
    const std::filesystem::path directory = target_.parent_path();
    for (int attempt = 0;; ++attempt) {
        temporary_ = directory / fmt::format(".ljungcv-{}-{}.tmp{}", getpid(), attempt, target_.extension().string());
#if defined(_WIN32)
        const int fd = _open(temporary_.string().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, 0666);
#else
        const int fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
#endif
        if (fd >= 0) {
            close(fd);
            return;
        }
        if (errno != EEXIST || attempt == 1000) {
            fail(errno, target_);
        }
    }
}

PendingFile::~PendingFile()
{
    if (!committed_) {
        std::error_code ignored;
        std::filesystem::remove(temporary_, ignored);
    }
}

void PendingFile::write(std::string_view bytes) const
{
    std::FILE* file = std::fopen(temporary_.string().c_str(), "wb");
    if (file == nullptr) {
        fail(errno, target_);
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const int write_errno = errno;
    if (std::fclose(file) != 0 || !written) {
        fail(written ? errno : write_errno, target_);
    }
}

void PendingFile::commit()
{
    std::error_code error;
    std::filesystem::rename(temporary_, target_, error);
    if (error) {
        fail(error.value(), target_);
    }
    committed_ = true;
}

}  // namespace ljungcv
