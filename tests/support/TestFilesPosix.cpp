#include "support/TestFiles.h"

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

FileDescriptor memoryFile(std::string_view bytes) {
    FileDescriptor file(memfd_create("firmware", MFD_CLOEXEC));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t count = write(file.get(), bytes.data() + done, bytes.size() - done);
        if (count <= 0)
            break;
        done += static_cast<std::size_t>(count);
    }
    return file;
}

bool resizeOpenFile(int fd, std::uint64_t size) {
    return ftruncate(fd, static_cast<off_t>(size)) == 0;
}

std::string unendingFile(const std::string& folder, const std::string& name) {
    const std::string path = folder + "/" + name;
    return mkfifo(path.c_str(), 0600) == 0 ? path : "";
}
