// Allocation, failure injection, environment and copy services.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "orvu_serv.h"

namespace {

TEST(Allocation, HonoursEveryPowerOfTwoAlignment) {
    const int32_t base = orvu_serv_test_live_allocations();
    for (int32_t align : {1, 2, 8, 16, 64, 128, 4096}) {
        for (uint32_t size : {0u, 1u, 7u, 128u, 1000u, 1u << 20}) {
            void* p = orvu_serv_allocate(size, align);
            ASSERT_NE(p, nullptr) << size << " bytes, alignment " << align;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % static_cast<uintptr_t>(align), 0u);
            std::memset(p, 0xA5, size);  // the whole block is usable (ASan checks)
            EXPECT_EQ(orvu_serv_test_live_allocations(), base + 1);
            orvu_serv_deallocate(p);
        }
    }
    EXPECT_EQ(orvu_serv_test_live_allocations(), base);
}

TEST(Allocation, RefusesAlignmentThatIsNotAPowerOfTwo) {
    for (int32_t align : {0, -128, 3, 96}) EXPECT_EQ(orvu_serv_allocate(16, align), nullptr) << align;
}

TEST(Allocation, DeallocatingNullDoesNothing) {
    const int32_t base = orvu_serv_test_live_allocations();
    orvu_serv_deallocate(nullptr);
    EXPECT_EQ(orvu_serv_test_live_allocations(), base);
}

TEST(Allocation, InjectedFailureHitsExactlyTheNthCall) {
    for (int32_t n = 1; n <= 4; ++n) {
        orvu_serv_test_fail_allocation(n);
        std::vector<void*> got;
        for (int32_t call = 1; call <= 6; ++call) got.push_back(orvu_serv_allocate(64, 128));
        for (int32_t call = 1; call <= 6; ++call) {
            EXPECT_EQ(got[call - 1] == nullptr, call == n) << "failure at " << n << ", call " << call;
            orvu_serv_deallocate(got[call - 1]);
        }
    }
}

TEST(Allocation, CancelledFailureDoesNotFire) {
    orvu_serv_test_fail_allocation(2);
    orvu_serv_test_fail_allocation(0);
    void* a = orvu_serv_allocate(8, 128);
    void* b = orvu_serv_allocate(8, 128);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    orvu_serv_deallocate(a);
    orvu_serv_deallocate(b);
}

TEST(Allocation, FailedCallIsNotCountedAsLive) {
    const int32_t base = orvu_serv_test_live_allocations();
    orvu_serv_test_fail_allocation(1);
    EXPECT_EQ(orvu_serv_allocate(8, 128), nullptr);
    EXPECT_EQ(orvu_serv_test_live_allocations(), base);
}

TEST(Allocation, LiveCountIsExactUnderConcurrentUse) {
    const int32_t base = orvu_serv_test_live_allocations();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                void* p = orvu_serv_allocate(32 + i % 100, 128);
                ASSERT_NE(p, nullptr);
                orvu_serv_deallocate(p);
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(orvu_serv_test_live_allocations(), base);
}

struct EnvCase {
    const char* value;     // nullptr: the variable is unset
    int32_t buf_size;
    int32_t expected;      // result of orvu_serv_getenv
    const char* stored;    // what the buffer holds afterwards
};

TEST(Getenv, StoresValueTruncatesLongOnesAndAlwaysTerminates) {
    const std::string long_value(300, 'x');
    const EnvCase cases[] = {
        {"KEX_HA", 256, 6, "KEX_HA"},
        {"", 256, 0, ""},                        // empty counts as not set
        {nullptr, 256, 0, ""},                   // unset
        {long_value.c_str(), 256, 255, nullptr},  // 255 characters and the NUL
        {"abcdef", 4, 3, "abc"},
        {"abcdef", 1, 0, ""},
    };
    for (const EnvCase& c : cases) {
        if (c.value) setenv("ORVU_SERV_TEST_VAR", c.value, 1);
        else unsetenv("ORVU_SERV_TEST_VAR");
        std::vector<char> buf(static_cast<size_t>(c.buf_size) + 8, '#');
        int32_t got = orvu_serv_getenv("ORVU_SERV_TEST_VAR", buf.data(), c.buf_size);
        EXPECT_EQ(got, c.expected) << (c.value ? c.value : "(unset)");
        EXPECT_EQ(buf[static_cast<size_t>(got)], '\0');
        EXPECT_EQ(buf[static_cast<size_t>(c.buf_size)], '#');  // nothing written past the buffer
        if (c.stored) EXPECT_STREQ(buf.data(), c.stored);
        else EXPECT_EQ(std::string(buf.data()), long_value.substr(0, 255));
    }
    unsetenv("ORVU_SERV_TEST_VAR");
}

TEST(Getenv, BadArgumentsReadAsNotSet) {
    char buf[8];
    EXPECT_LT(orvu_serv_getenv(nullptr, buf, 8), 1);
    EXPECT_LT(orvu_serv_getenv("PATH", nullptr, 8), 1);
    EXPECT_LT(orvu_serv_getenv("PATH", buf, 0), 1);
}

TEST(MemcpyS, CopiesOrRefusesWithoutTouchingTheDestination) {
    const char src[8] = "abcdefg";
    char dst[8] = "0000000";
    EXPECT_EQ(orvu_serv_memcpy_s(dst, 8, src, 8), 0);
    EXPECT_STREQ(dst, "abcdefg");
    char small[4] = "zzz";
    EXPECT_NE(orvu_serv_memcpy_s(small, 4, src, 8), 0);
    EXPECT_STREQ(small, "zzz");
    EXPECT_NE(orvu_serv_memcpy_s(nullptr, 4, src, 4), 0);
    EXPECT_NE(orvu_serv_memcpy_s(small, 4, nullptr, 4), 0);
}

}  // namespace
