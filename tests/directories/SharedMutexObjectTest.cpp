// The shared-memory object behind a named mutex on Linux: names, access by another user, and
// objects of the same name that are not such a mutex.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "directories/NamedMutex.h"
#include "directories/posix/SharedMutexBlock.h"

using namespace configdb;

TEST(SharedMutexObject, NameOfOtherThanAtMost200LettersDigitsAndUnderscoresIsRefused) {
    for (const std::string& name : {std::string(), std::string(201, 'a'), std::string("a/b"),
                                    std::string("a-b"), std::string("\xC3\xA4")}) {
        uint32_t error = 0;
        EXPECT_EQ(CreateNamedMutex(name, error), nullptr) << name;
        EXPECT_EQ(error, uint32_t{EINVAL}) << name;
    }
}

TEST(SharedMutexObject, OpensFromAProcessOfAnotherUserWhateverTheUmask) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to start a process of another user (nobody)";
    }
    const std::string name = "zeph_test_other_user_" + std::to_string(getpid());
    const mode_t oldMask = umask(077);
    uint32_t error = 0;
    const auto mutex = CreateNamedMutex(name, error);
    umask(oldMask);
    ASSERT_NE(mutex, nullptr) << error;
    const pid_t child = fork();
    if (child == 0) {
        const bool nobody = setgid(65534) == 0 && setuid(65534) == 0;
        const auto opened = nobody ? CreateNamedMutex(name, error) : nullptr;
        _exit(opened == nullptr ? 10 : opened->Wait(1000));
    }
    int status = -1;
    waitpid(child, &status, 0);
    shm_unlink(("/" + name).c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == kWaitObject0) << status;
}

// Filled with a pattern that no mutex and no header has; the bytes must stay untouched.
TEST(SharedMutexObject, ForeignObjectOfTheSameNameIsNeverLocked) {
    const std::string name = "/zeph_test_foreign_" + std::to_string(getpid());
    for (const size_t size : {size_t{64}, sizeof(SharedMutexBlock)}) {
        const int fd = shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
        ASSERT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
        auto* bytes = static_cast<unsigned char*>(
            mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
        std::memset(bytes, 0xA5, size);
        uint32_t error = 0;
        EXPECT_EQ(CreateNamedMutex(name.substr(1), error), nullptr) << size;
        EXPECT_EQ(error, uint32_t{EPROTO}) << size;
        EXPECT_TRUE(std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0xA5; }));
        munmap(bytes, size);
        close(fd);
        shm_unlink(name.c_str());
    }
}
