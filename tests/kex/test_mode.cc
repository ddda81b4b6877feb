// Per-thread mode, status, callback: the environment string, group-wise
// SetMode, callback bit handling and independence between threads.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "kex_test_util.h"
#include "orvu_kex.h"

namespace {

using kex_test::on_fresh_thread;

uint32_t mode_for_env(const char* value) {
    if (value) setenv(KEX_MODE_ENV_NAME, value, 1);
    else unsetenv(KEX_MODE_ENV_NAME);
    uint32_t m = 0xDEADBEEF;
    on_fresh_thread([&] { m = orvu_kex_kernel_GetMode(); });
    unsetenv(KEX_MODE_ENV_NAME);
    return m;
}

struct EnvCase {
    const char* value;
    uint32_t mode;
};
constexpr EnvCase kEnvCases[] = {
    {nullptr, 0x1A02},                     // unset: the default
    {"", 0x1A02},
    {"KEX_HA", 0x2},
    {"KEX_LA,KEX_ERRMODE_ERRNO", 0x201},
    {"KEX_LA,KEX_HA", 0x3},                // values are OR-ed
    {"KEX_DOUBLE_CONSISTEN", 0x20},
    {"KEX_DOUBLE_CONSISTENT", 0x1A02},     // the stored keyword lacks the final T
    {"KEX_FLOAT_CONSISTENT,KEX_EP", 0x13},
    {"KEX_ERRMODE_DEFAULT", 0x1A00},
    {"KEX_ERRMODE_IGNORE,KEX_ERRMODE_STDERR,KEX_ERRMODE_CALLBACK", 0x1500},
    {"KEX_RESTORE", 0x30},
    {"HA", 0x1A02},                        // no prefix
    {"KEX_HA,HA", 0x1A02},                 // second token without prefix
    {"KEX_HA,", 0x1A02},                   // trailing comma
    {"KEX_HA,,KEX_LA", 0x1A02},            // empty token
    {"KEX_HA, KEX_LA", 0x1A02},            // blank
    {"kex_HA", 0x1A02},                    // prefix is case-sensitive
    {"KEX_ha", 0x1A02},                    // keyword is case-sensitive
    {"KEX_HAX", 0x1A02},                   // keyword followed by garbage
    {"KEX_", 0x1A02},
    {"KEX_LA,KEX_NOPE", 0x1A02},           // no partial result is kept
};

TEST(Mode, EnvironmentStringGivesMode) {
    for (const EnvCase& c : kEnvCases)
        EXPECT_EQ(mode_for_env(c.value), c.mode) << (c.value ? c.value : "(unset)");
}

TEST(Mode, KeywordEndingPastTheBufferIsRejected) {
    // 240 characters of valid tokens, then a keyword that would end at or past
    // byte 256 of the buffer.
    std::string v;
    while (v.size() < 238) v += "KEX_LA,";
    v.resize(v.rfind(',') + 1);
    const size_t room = 256 - (v.size() + 4);
    std::string tail = room > 16 ? "KEX_ERRMODE_CALLBACK" : "KEX_ERRMODE_DEFAULT";
    EXPECT_LE(room, tail.size() - 4) << "test string too short";
    EXPECT_EQ(mode_for_env((v + tail).c_str()), 0x1A02u);
    v.pop_back();
    EXPECT_EQ(mode_for_env(v.c_str()), 0x1u);
}

TEST(Mode, ReadEnvVarModeReportsFailureAsAllOnes) {
    setenv(KEX_MODE_ENV_NAME, "KEX_HA,KEX_ERRMODE_ERRNO", 1);
    EXPECT_EQ(orvu_kex_kernel_ReadEnvVarMode(), 0x202u);
    setenv(KEX_MODE_ENV_NAME, "bogus", 1);
    EXPECT_EQ(orvu_kex_kernel_ReadEnvVarMode(), ~uint64_t{0});
    unsetenv(KEX_MODE_ENV_NAME);
}

TEST(Mode, ZeroModeIsReadAgainOnEveryCall) {
    setenv(KEX_MODE_ENV_NAME, "KEX_DEFAULT_PRECISION", 1);
    on_fresh_thread([] {
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0u);
        EXPECT_EQ(orvu_kex_kernel_GetTTableIndex(), -1);
        setenv(KEX_MODE_ENV_NAME, "KEX_EP", 1);
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x3u);  // still uninitialised: read again
        setenv(KEX_MODE_ENV_NAME, "KEX_LA", 1);
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x3u);  // now initialised: kept
    });
    unsetenv(KEX_MODE_ENV_NAME);
}

struct SetCase {
    uint32_t start, arg, after;
};
constexpr SetCase kSetCases[] = {
    {0x1A02, 0x0, 0x1A02},
    {0x1A02, 0x1, 0x1A01},
    {0x1A02, 0x100, 0x0102},
    {0x1A02, 0x30, 0x1A02},           // the consistency group is never changed
    {0x1A02, 0x280000, 0x281A02},
    {0x281A02, 0x140000, 0x141A02},
    {0x281A02, 0x140403, 0x140403},
    {0x281A02, 0xFFFFFFFF, 0x3CFF0F}, // bits outside the groups are not set
};

TEST(Mode, SetModeReplacesNonZeroGroupsOnly) {
    for (const SetCase& c : kSetCases) {
        on_fresh_thread([&] {
            orvu_kex_kernel_SetMode(c.start);  // from the default: every group of start is set
            ASSERT_EQ(orvu_kex_kernel_GetMode(), c.start);
            EXPECT_EQ(_kexSetMode(c.arg), c.start);
            EXPECT_EQ(orvu_kex_kernel_GetMode(), c.after) << std::hex << c.start << " + " << c.arg;
        });
    }
    setenv(KEX_MODE_ENV_NAME, "KEX_RESTORE,KEX_HA", 1);
    on_fresh_thread([] {
        EXPECT_EQ(orvu_kex_kernel_SetMode(0xFFFFFFFF), 0x32u);
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x3CFF3Fu);
    });
    unsetenv(KEX_MODE_ENV_NAME);
}

TEST(Mode, TTableIndexFollowsAccuracy) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(KEX_MODE_EP);
        EXPECT_EQ(orvu_kex_kernel_GetTTableIndex(), 2);
        orvu_kex_kernel_SetMode(KEX_MODE_LA);
        EXPECT_EQ(_kexGetMode() & 0xF, 1u);
        EXPECT_EQ(orvu_kex_kernel_GetTTableIndex(), 0);
    });
    EXPECT_EQ(orvu_kex_kernel_GetTTableIndexM(12345, 0x1A03), 2);
    EXPECT_EQ(orvu_kex_kernel_GetTTableIndexM(-7, 0x1A00), -1);
}

int32_t dummy_cb(KexErrorContext*) { return 0; }
int32_t other_cb(KexErrorContext*) { return 1; }

TEST(Mode, CallbackSetsAndClearsItsBit) {
    on_fresh_thread([] {
        orvu_kex_kernel_SetMode(0x0202);
        orvu_kex_kernel_SetMode(0x0);
        // Start from 0x0202: the error group is replaced as a whole.
        EXPECT_EQ(orvu_kex_kernel_SetErrorCallBack(dummy_cb), nullptr);
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x1202u);
        EXPECT_EQ(orvu_kex_kernel_GetErrorCallBack(), &dummy_cb);
        EXPECT_EQ(_kexSetErrorCallBack(other_cb), &dummy_cb);
        EXPECT_EQ(orvu_kex_kernel_ClearErrorCallBack(), &other_cb);
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x0202u);
        EXPECT_EQ(_kexGetErrorCallBack(), nullptr);
    });
    on_fresh_thread([] {
        // Callback as the only error bit: clearing it cannot clear the group.
        orvu_kex_kernel_SetMode(0x1000);
        orvu_kex_kernel_SetErrorCallBack(dummy_cb);
        _kexClearErrorCallBack();
        EXPECT_EQ(orvu_kex_kernel_GetMode(), 0x1002u);
        EXPECT_EQ(orvu_kex_kernel_GetErrorCallBack(), nullptr);
    });
}

TEST(Mode, StatusFunctions) {
    on_fresh_thread([] {
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
        EXPECT_EQ(orvu_kex_kernel_SetErrStatus(5), 0);
        EXPECT_EQ(_kexGetErrStatus(), 5);
        EXPECT_EQ(_kexSetErrStatus(-2), 5);
        EXPECT_EQ(orvu_kex_kernel_ClearErrStatus(), -2);
        EXPECT_EQ(_kexClearErrStatus(), 0);
        EXPECT_EQ(orvu_kex_kernel_GetErrStatus(), 0);
        int x = 0;
        EXPECT_EQ(orvu_kex_kernel_SetInterfInputVectorPointer(&x), &x);
        EXPECT_EQ(_kexSetInterfInputVectorPointer(nullptr), nullptr);
    });
    EXPECT_EQ(dll_cpu_version(), 0);
}

TEST(Mode, ThreadsHoldIndependentState) {
    constexpr int kThreads = 6;
    std::thread ts[kThreads];
    bool ok[kThreads] = {};
    for (int t = 0; t < kThreads; ++t) {
        ts[t] = std::thread([t, &ok] {
            const uint32_t acc = 1 + t % 3;
            const uint32_t err = 0x100u << (t % 5);
            const KexErrorCallBack cb = t % 2 ? dummy_cb : other_cb;
            orvu_kex_kernel_SetMode(acc | err);
            orvu_kex_kernel_SetErrStatus(100 + t);
            orvu_kex_kernel_SetInterfInputVectorPointer(&ok[t]);
            bool good = true;
            for (int rep = 0; rep < 2000; ++rep) {
                orvu_kex_kernel_SetErrorCallBack(cb);
                good &= orvu_kex_kernel_GetErrorCallBack() == cb;
                good &= (orvu_kex_kernel_GetMode() & 0xF) == acc;
                good &= orvu_kex_kernel_GetErrStatus() == 100 + t;
                std::this_thread::yield();
            }
            ok[t] = good;
        });
    }
    for (auto& t : ts) t.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_TRUE(ok[t]) << "thread " << t;
}

TEST(Mode, KeywordTableIsPublished) {
    EXPECT_STREQ(mapModeS_N[5].text, "DOUBLE_CONSISTEN");
    EXPECT_EQ(mapModeS_N[5].length, 16);
    EXPECT_EQ(mapModeS_N[12].low, 0x1A00u);
    EXPECT_EQ(mapModeS_N[3].length, 17);
}

}  // namespace
