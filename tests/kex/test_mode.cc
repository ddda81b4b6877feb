// Per-thread mode, status, callback: the environment string, group-wise
// SetMode, callback bit handling and independence between threads.
#include <cstdlib>

#include "kex_test_util.h"

namespace {

using kex_test::on_fresh_thread;

// Runs fn on a fresh thread with the variable set to value (unset for null).
template <class Fn> void with_env(const char* value, Fn fn) {
    value ? setenv(KEX_MODE_ENV_NAME, value, 1) : unsetenv(KEX_MODE_ENV_NAME);
    on_fresh_thread(fn);
    unsetenv(KEX_MODE_ENV_NAME);
}
uint32_t mode_for_env(const char* value) {
    uint32_t m = 0xDEADBEEF;
    with_env(value, [&] { m = orvu_kex_kernel_GetMode(); });
    return m;
}

constexpr struct { const char* value; uint32_t mode; } kEnvCases[] = {
    {nullptr, 0x1A02}, {"", 0x1A02},  // unset or empty: the default
    {"KEX_HA", 0x2}, {"KEX_LA,KEX_ERRMODE_ERRNO", 0x201}, {"KEX_LA,KEX_HA", 0x3},  // values are OR-ed
    {"KEX_DOUBLE_CONSISTEN", 0x20}, {"KEX_DOUBLE_CONSISTENT", 0x1A02},  // the keyword lacks the final T
    {"KEX_FLOAT_CONSISTENT,KEX_EP", 0x13}, {"KEX_ERRMODE_DEFAULT", 0x1A00}, {"KEX_RESTORE", 0x30},
    {"KEX_ERRMODE_IGNORE,KEX_ERRMODE_STDERR,KEX_ERRMODE_CALLBACK", 0x1500},
    // Malformed anywhere: the default as a whole, no partial result.
    {"HA", 0x1A02}, {"KEX_HA,HA", 0x1A02}, {"KEX_HA,", 0x1A02}, {"KEX_HA,,KEX_LA", 0x1A02}, {"KEX_HAX", 0x1A02},
    {"KEX_HA, KEX_LA", 0x1A02}, {"kex_HA", 0x1A02}, {"KEX_ha", 0x1A02}, {"KEX_LA,KEX_NOPE", 0x1A02},
};

TEST(Mode, EnvironmentStringGivesMode) {
    for (const auto& c : kEnvCases) EXPECT_EQ(mode_for_env(c.value), c.mode) << (c.value ? c.value : "(unset)");
    // Tokens up to byte 249, then a keyword that would end at byte 256 or past.
    std::string v;
    while (v.size() < 245) v += "KEX_LA,";
    EXPECT_EQ(mode_for_env((v + "KEX_ERRMODE_DEFAULT").c_str()), 0x1A02u) << v.size();
    v.pop_back();
    EXPECT_EQ(mode_for_env(v.c_str()), 0x1u);
    with_env("bogus", [] { EXPECT_EQ(orvu_kex_kernel_ReadEnvVarMode(), ~uint64_t{0}); });
    with_env("KEX_HA,KEX_ERRMODE_ERRNO", [] { EXPECT_EQ(orvu_kex_kernel_ReadEnvVarMode(), 0x202u); });
}

TEST(Mode, ZeroModeIsReadAgainOnEveryCall) {
    with_env("KEX_DEFAULT_PRECISION", [] {
        EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0 && orvu_kex_kernel_GetTTableIndex() == -1);
        setenv(KEX_MODE_ENV_NAME, "KEX_EP", 1);  // still uninitialised: read again
        EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0x3 && orvu_kex_kernel_GetTTableIndex() == 2);
        setenv(KEX_MODE_ENV_NAME, "KEX_LA", 1);
        EXPECT_EQ(_kexGetMode(), 0x3u);  // now initialised: kept
    });
    EXPECT_EQ(orvu_kex_kernel_GetTTableIndexM(12345, 0x1A03), 2);
    EXPECT_EQ(orvu_kex_kernel_GetTTableIndexM(-7, 0x1A00), -1);
}

TEST(Mode, SetModeReplacesNonZeroGroupsOnly) {
    constexpr uint32_t kSetCases[][3] = {  // start, argument, after
        {0x1A02, 0x0, 0x1A02},      {0x1A02, 0x1, 0x1A01},
        {0x1A02, 0x100, 0x0102},    {0x1A02, 0x30, 0x1A02},  // the consistency group is never changed
        {0x1A02, 0x280000, 0x281A02}, {0x281A02, 0x140000, 0x141A02},
        {0x281A02, 0x140403, 0x140403}, {0x281A02, 0xFFFFFFFF, 0x3CFF0F},  // bits outside the groups
    };
    for (const auto& c : kSetCases) {
        on_fresh_thread([&] {
            orvu_kex_kernel_SetMode(c[0]);  // from the default: every group of start is set
            EXPECT_EQ(_kexSetMode(c[1]), c[0]);
            EXPECT_EQ(orvu_kex_kernel_GetMode(), c[2]) << std::hex << c[0] << " + " << c[1];
        });
    }
    with_env("KEX_RESTORE,KEX_HA", [] {  // the consistency group from the environment stays
        orvu_kex_kernel_SetMode(~0u);
        EXPECT_EQ(_kexGetMode(), 0x3CFF3Fu);
    });
}

int32_t dummy_cb(KexErrorContext*) { return 0; }
int32_t other_cb(KexErrorContext*) { return 1; }

TEST(Mode, CallbackSetsAndClearsItsBit) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(0x0202);
        EXPECT_EQ(orvu_kex_kernel_SetErrorCallBack(dummy_cb), nullptr);
        EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0x1202u && orvu_kex_kernel_GetErrorCallBack() == &dummy_cb);
        EXPECT_EQ(_kexSetErrorCallBack(other_cb), &dummy_cb);
        EXPECT_EQ(orvu_kex_kernel_ClearErrorCallBack(), &other_cb);
        EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0x0202u && _kexGetErrorCallBack() == nullptr);
        // Callback as the only error bit: clearing it cannot clear the group.
        orvu_kex_kernel_SetMode(0x1000), _kexClearErrorCallBack();
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x1002u);
    });
}

// Status, callback and mode belong to the thread: a new thread neither
// inherits nor disturbs them.
TEST(Mode, StatusAndCallbackArePerThread) {
    on_fresh_thread([] {
        EXPECT_EQ(orvu_kex_kernel_SetErrStatus(5), 0);
        EXPECT_EQ(_kexSetErrStatus(7), 5);
        orvu_kex_kernel_SetMode(KEX_MODE_EP | KEX_MODE_ERRMODE_STDERR);
        orvu_kex_kernel_SetErrorCallBack(dummy_cb);
        on_fresh_thread([] {
            EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0x1A02u && orvu_kex_kernel_GetErrStatus() == 0 &&
                        orvu_kex_kernel_GetErrorCallBack() == nullptr);
            orvu_kex_kernel_SetMode(KEX_MODE_LA), orvu_kex_kernel_SetErrStatus(3);
            orvu_kex_kernel_SetErrorCallBack(other_cb);
        });
        EXPECT_TRUE(orvu_kex_kernel_GetMode() == 0x1403u && orvu_kex_kernel_GetErrorCallBack() == &dummy_cb);
        EXPECT_TRUE(_kexGetErrStatus() == 7 && orvu_kex_kernel_ClearErrStatus() == 7 && _kexClearErrStatus() == 0);
        int x = 0;
        EXPECT_TRUE(orvu_kex_kernel_SetInterfInputVectorPointer(&x) == &x && !_kexSetInterfInputVectorPointer(nullptr));
    });
}

}  // namespace
