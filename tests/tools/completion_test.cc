#include "tools/completion.h"

#include <gtest/gtest.h>

#include "tools/shell.h"

namespace orv::orvsql {
namespace {

using Names = std::vector<std::string>;

TEST(OrvsqlCompletion, ABackslashWordAtTheStartCompletesToCommands) {
  EXPECT_EQ(Completions("", "\\ed"), Names{"\\edit"});
  EXPECT_EQ(Completions("  ", "\\q"), (Names{"\\quit", "\\q"}));
  EXPECT_EQ(Completions("", "\\"), Shell::CommandNames());
  EXPECT_EQ(Completions("select ", "\\e"), Names{});
  EXPECT_EQ(Completions("", "ed"), Names{});
}

}  // namespace
}  // namespace orv::orvsql
