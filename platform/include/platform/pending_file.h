// A file written under a temporary name and given to its target only once
// it is complete: a failed or interrupted run never leaves a partial file,
// and never truncates or deletes a file already there under the target's
// name.
//
// What the target's name leads to decides how the content gets there:
// - nothing, or a regular file: the content is written to a temporary file
//   beside it and renamed onto it;
// - a symbolic link (to either): the link stays, and the file it names, or
//   would name, is written as above;
// - a FIFO, a device, a socket, or the file this process writes as its
//   standard output or error (/dev/stdout): it is written in place, through
//   a descriptor opened at once, never replaced; the content waits in a
//   temporary file in the system's temporary directory until the commit;
// - a directory, or anything else: an error.
//
// Temporary files are created exclusively (never through a link someone
// placed under their name) and are only ever written and read through the
// descriptor made then; another program that is to write one gets that
// descriptor, not the name. On POSIX the target's directory is opened once
// and the temporary file created, checked and renamed relative to it, so
// that no one can swap the directory in between.
#ifndef PLATFORM_PENDING_FILE_H
#define PLATFORM_PENDING_FILE_H

#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace platform {

class PendingFile {
public:
    // Creates an empty temporary file, readable and writable by its owner
    // alone until it gets the target's mode: an existing target's
    // permissions, else those the umask leaves of 0666. Throws
    // std::system_error when the target cannot take the content.
    explicit PendingFile(std::filesystem::path target);
    ~PendingFile();  // removes the temporary file unless committed
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    // The name given, for messages.
    const std::filesystem::path& target() const { return target_; }

    // Whether the target is written in place rather than replaced.
    bool in_place() const { return place_fd_ >= 0; }

    // The open descriptor (a C runtime descriptor on Windows), for handing
    // to a program that writes the content.
    int descriptor() const { return fd_; }

    // Appends `bytes`. Throws std::system_error.
    void write(std::string_view bytes) const;

    // The whole content as it is now. Throws std::system_error.
    std::string content() const;

    // commit_all({this}).
    void commit();

    // Gives each file its content: first the checks that can still fail
    // without a trace (every temporary file on disk and still the one
    // created), then the writes in place, which cannot be taken back, and
    // last the renames. When one of the first two steps fails, no target
    // has been replaced. Throws std::system_error.
    friend void commit_all(std::initializer_list<PendingFile*> files);

private:
    std::filesystem::path directory() const;
    void release();
    void settle();
    void deliver();
    void rename_onto_target();

    std::filesystem::path target_;
    std::filesystem::path destination_;  // the target, links followed; the temporary file's directory
    std::filesystem::path temporary_;
    int directory_fd_ = -1;  // destination_'s directory (POSIX)
    int fd_ = -1;
    int place_fd_ = -1;  // the target itself, when written in place
    bool committed_ = false;
};

void commit_all(std::initializer_list<PendingFile*> files);

// Whether two names lead to the same file, links followed: the same existing
// file, or the same name in the same directory for files yet to be made.
bool same_file(const std::filesystem::path& a, const std::filesystem::path& b);

}  // namespace platform

#endif
