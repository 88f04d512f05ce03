#pragma once
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

// A child process that holds the journal's exclusive lock until released,
// as another program that opened the file without sharing.
class LockHolder {
public:
    explicit LockHolder(const std::string& path)
    {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            close(ready[0]);
            close(release[1]);
            int fd = open(path.c_str(), O_WRONLY | O_CREAT, 0666);
            char ok = (fd >= 0 && flock(fd, LOCK_EX) == 0) ? '1' : '0';
            (void)!::write(ready[1], &ok, 1);
            char c;
            (void)!read(release[0], &c, 1);
            _exit(0);
        }
        close(ready[1]);
        close(release[0]);
        release_ = release[1];
        char ok = '0';
        locked_ = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~LockHolder() { Release(); }
    bool Locked() const { return locked_; }
    void Release()
    {
        if (pid_ <= 0)
            return;
        close(release_);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool locked_ = false;
};

