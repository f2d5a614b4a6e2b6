// The little the tests need of the platform they run on.
#ifndef KESTRINEL_TESTS_TEST_PLATFORM_H_
#define KESTRINEL_TESTS_TEST_PLATFORM_H_

namespace kestrinel::testing_support {

// Sets an environment variable of this process; nullptr removes it.
void SetEnvironmentForTest(const char* name, const char* value);

// Whether the Windows build runs on Wine's implementation of Windows.
bool RunningUnderWine();

}  // namespace kestrinel::testing_support

#endif  // KESTRINEL_TESTS_TEST_PLATFORM_H_
