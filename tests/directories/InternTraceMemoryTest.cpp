// The directory library's trace line when there is no memory for its message: the line is still
// written, saying that there was nothing to write. A program of its own, as it replaces operator
// new: while armed, an allocation of at least the armed size fails.
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <new>
#include <string>

#include "FakeDirectoryEnvironment.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "directories/ConfigDbContext.h"
#include "directories/DiagnosticWriter.h"

namespace {

thread_local size_t t_failFrom = std::numeric_limits<size_t>::max();

// Out of line, so that the compiler does not pair the replacement's free with a new it sees.
[[gnu::noinline]] void Release(void* memory) noexcept {
    std::free(memory);
}

}  // namespace

void* operator new(size_t size) {
    void* memory = size < t_failFrom ? std::malloc(size == 0 ? 1 : size) : nullptr;
    if (memory == nullptr) {
        throw std::bad_alloc();
    }
    return memory;
}

void operator delete(void* memory) noexcept {
    Release(memory);
}

void operator delete(void* memory, size_t) noexcept {
    Release(memory);
}

namespace {

TEST(InternTraceMemory, LineWithoutItsMessageWhenTheMessageFindsNoMemory) {
    const TempDirectory directory;
    const std::string file = (directory.Path() / "intern.txt").string();
    FakeDirectoryEnvironment environment;
    configdb::ConfigDbContext context(environment);
    const std::string message(size_t{1} << 20, 'x');
    t_failFrom = message.size();
    configdb::InternTrace(context, file.c_str(), "%s", message.c_str());
    t_failFrom = std::numeric_limits<size_t>::max();
    EXPECT_NE(ReadFileText(file).find("(Keine Info zum Ausgeben verf"), std::string::npos)
        << ReadFileText(file);
}

}  // namespace
