// An open whose reader thread cannot be created fails at once. The system's
// refusal is simulated by standing in for pthread_create in this test
// program: calls from a thread that asked for failures are refused, all
// others go to the real function.
#include <dlfcn.h>
#include <pthread.h>
#include <gtest/gtest.h>

#include <cerrno>

#include "dataset/scripted_query.h"

namespace {
thread_local bool t_refuse_threads = false;
}  // namespace

extern "C" int pthread_create(pthread_t* thread, const pthread_attr_t* attr,
                              void* (*start)(void*), void* arg) {
  using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
  static const auto real = reinterpret_cast<Create>(dlsym(RTLD_NEXT, "pthread_create"));
  if (t_refuse_threads) return EAGAIN;
  return real(thread, attr, start, arg);
}

namespace orv {
namespace {

using ReaderStartTest = testing::ScriptedQueryTest;

TEST_F(ReaderStartTest, OpenFailsWhenTheReaderCannotStart) {
  t_refuse_threads = true;
  OpenWith(1, testing::Column(0, "A", 3) + testing::Value("x") + "EOF;");
  t_refuse_threads = false;
  EXPECT_FALSE(query_.Active());
  EXPECT_EQ(log_.Texts(), sNoReader);
  // Nothing was left behind: the next open reads normally.
  peer_.Add(testing::PeerScript()
                .ReadFrames(1)
                .WriteFrame("1;OK")
                .WriteFrame(testing::Column(0, "A", 3) + testing::Value("y") + "EOF;")
                .ReadFrames(1));
  query_.Open();
  ASSERT_TRUE(query_.Active()) << log_.Texts();
  EXPECT_EQ(query_.FieldByName("A")->AsString(), "y");
}

}  // namespace
}  // namespace orv
