// The directory library's trace line when there is no memory for its message: the line is still
// written, saying that there was nothing to write. A program of its own, as it replaces operator
// new (FailingNew).
#include <gtest/gtest.h>

#include <string>

#include "FailingNew.h"
#include "FakeDirectoryEnvironment.h"
#include "FileText.h"
#include "TempDirectory.h"
#include "directories/ConfigDbContext.h"
#include "directories/DiagnosticWriter.h"

namespace {

TEST(InternTraceMemory, LineWithoutItsMessageWhenTheMessageFindsNoMemory) {
    const TempDirectory directory;
    const std::string file = (directory.Path() / "intern.txt").string();
    FakeDirectoryEnvironment environment;
    configdb::ConfigDbContext context(environment);
    const std::string message(size_t{1} << 20, 'x');
    {
        const AllocationLimit limit(message.size());
        configdb::InternTrace(context, file.c_str(), "%s", message.c_str());
    }
    EXPECT_NE(ReadFileText(file).find("(Keine Info zum Ausgeben verf"), std::string::npos)
        << ReadFileText(file);
}

}  // namespace
