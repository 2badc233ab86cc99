#pragma once

#include <functional>
#include <string>
#include <vector>

// The lock file through which terminal programs and other serial tools claim a device: LCK..NAME
// in the lock directory, holding the holder's process number. A lock that names a live process
// refuses the port and is left alone; one that names a process that is gone, or none at all, is
// stale and removed. While the port is open this program holds such a lock itself, beside the
// flock on the device, in the common form: ten characters and a line feed. A lock directory that
// cannot be written leaves the flock alone in charge.
class UucpLock {
  public:
    // Asks after a process as kill(pid, 0) does: 0, or -1 with errno set. A process of another user
    // gives EPERM and lives; root never meets that answer, so a probe of one's own can give it.
    using ProcessProbe = std::function<int(long pid)>;

    // `directory` empty: BOOTDEVICE_LOCK_DIR when set, else /run/lock. `probe` empty: kill(pid, 0).
    explicit UucpLock(std::string directory = {}, ProcessProbe probe = {});
    ~UucpLock() { release(); }
    UucpLock(const UucpLock&) = delete;
    UucpLock& operator=(const UucpLock&) = delete;

    // Before the device is opened: throws PortError ("PATH: in use by process N ...") when a live
    // process holds a lock on it; removes a stale one.
    void check(const std::string& devicePath);
    // Once the device is open: puts this process's lock in place of any the open left (the serial
    // library writes one of its own form there). Throws PortError when another process took the
    // device's lock meanwhile.
    void hold();
    // Removes the lock held, if it is still ours.
    void release();

  private:
    // The live process other than this one that a lock file names; 0 when there is none.
    long otherHolder(const std::string& lockPath) const;

    std::string directory;
    ProcessProbe probe;
    std::vector<std::string> lockPaths; // the device's lock files, the one to hold first
    std::string devicePath;
    bool held = false;
};

// The lock file names of a device: by its real path, a path under /dev with "/" as "_"
// ("LCK..ttyUSB0", "LCK..pts_3"), then by the path as given when that names it otherwise.
std::vector<std::string> uucpLockNames(const std::string& devicePath);

// The process a lock file's content names: a decimal number (padded to ten characters, or plain,
// with whatever lines follow it) or a binary int of four bytes; 0 when it names none.
long lockHolder(const std::string& content);
