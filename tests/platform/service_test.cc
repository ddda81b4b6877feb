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

TEST(Allocation, HonoursPowerOfTwoAlignmentsAndCountsLiveBlocks) {
    const int32_t base = orvu_serv_test_live_allocations();
    for (int32_t align : {1, 8, 128, 4096})
        for (uint32_t size : {0u, 7u, 1000u, 1u << 22}) {
            void* p = orvu_serv_allocate(size, align);
            ASSERT_NE(p, nullptr) << size << " bytes, alignment " << align;
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % uintptr_t(align), 0u);
            std::memset(p, 0xA5, size);   // the whole block is usable (ASan checks)
            EXPECT_EQ(orvu_serv_test_live_allocations(), base + 1);
            orvu_serv_deallocate(p);
        }
    for (int32_t align : {0, -128, 3, 96}) EXPECT_EQ(orvu_serv_allocate(16, align), nullptr) << align;
    orvu_serv_deallocate(nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) orvu_serv_deallocate(orvu_serv_allocate(32 + i % 100, 128));
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(orvu_serv_test_live_allocations(), base);
}

TEST(Allocation, InjectedFailureHitsExactlyTheNthCallUnlessCancelled) {
    const int32_t base = orvu_serv_test_live_allocations();
    for (int32_t n = 0; n <= 3; ++n) {
        orvu_serv_test_fail_allocation(n == 0 ? 2 : n);
        if (n == 0) orvu_serv_test_fail_allocation(0);   // cancelled: nothing fails
        std::vector<void*> got;
        for (int32_t call = 1; call <= 4; ++call) got.push_back(orvu_serv_allocate(64, 128));
        EXPECT_EQ(orvu_serv_test_live_allocations(), base + (n == 0 ? 4 : 3));   // a failed call is not live
        for (int32_t call = 1; call <= 4; ++call) {
            EXPECT_EQ(got[call - 1] == nullptr, call == n) << "failure at " << n << ", call " << call;
            orvu_serv_deallocate(got[call - 1]);
        }
    }
}

TEST(Getenv, StoresValueTruncatesLongOnesAndAlwaysTerminates) {
    const std::string long_value(300, 'x');
    struct Case { const char* value; int32_t buf_size, expected; const char* stored; };
    const Case cases[] = {
        {"KEX_HA", 256, 6, "KEX_HA"}, {"", 256, 0, ""},   {nullptr, 256, 0, ""},   // empty or unset: not set
        {long_value.c_str(), 256, 255, nullptr},          // 255 characters and the NUL
        {"abcdef", 4, 3, "abc"},      {"abcdef", 1, 0, ""},
    };
    for (const Case& c : cases) {
        if (c.value) setenv("ORVU_SERV_TEST_VAR", c.value, 1);
        else unsetenv("ORVU_SERV_TEST_VAR");
        std::vector<char> buf(size_t(c.buf_size) + 8, '#');
        const int32_t got = orvu_serv_getenv("ORVU_SERV_TEST_VAR", buf.data(), c.buf_size);
        EXPECT_EQ(got, c.expected) << (c.value ? c.value : "(unset)");
        EXPECT_EQ(buf[size_t(c.buf_size)], '#');   // nothing written past the buffer
        EXPECT_EQ(std::string(buf.data()), c.stored ? c.stored : long_value.substr(0, 255));
    }
    unsetenv("ORVU_SERV_TEST_VAR");
    char buf[8];
    EXPECT_LT(orvu_serv_getenv(nullptr, buf, 8), 1);
    EXPECT_LT(orvu_serv_getenv("PATH", nullptr, 8), 1);
    EXPECT_LT(orvu_serv_getenv("PATH", buf, 0), 1);
}

TEST(MemcpyS, CopiesOrRefusesWithoutTouchingTheDestination) {
    const char src[8] = "abcdefg";
    char dst[8] = "0000000", small[4] = "zzz";
    EXPECT_EQ(orvu_serv_memcpy_s(dst, 8, src, 8), 0);
    EXPECT_STREQ(dst, "abcdefg");
    EXPECT_NE(orvu_serv_memcpy_s(small, 4, src, 8), 0);
    EXPECT_NE(orvu_serv_memcpy_s(nullptr, 4, src, 4), 0);
    EXPECT_NE(orvu_serv_memcpy_s(small, 4, nullptr, 4), 0);
    EXPECT_STREQ(small, "zzz");
}

}  // namespace
