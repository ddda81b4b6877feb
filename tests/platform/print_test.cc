// The message catalogue and the capture hook.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "orvu_serv.h"

namespace {

void collect(const OrvuPrintRecord* rec, void* user) {
    static_cast<std::vector<OrvuPrintRecord>*>(user)->push_back(*rec);
}

struct Capture {
    std::vector<OrvuPrintRecord> records;
    Capture() { orvu_serv_test_capture_print(collect, &records); }
    ~Capture() { orvu_serv_test_capture_print(nullptr, nullptr); }
};

TEST(Print, CaptureRecordsEveryCatalogueShapeAndRefusesOthers) {
    Capture cap;
    const std::string long_name(100, 'n');
    EXPECT_GT(orvu_serv_print(1, 735, 2, "vdDiv", 17), 0);
    EXPECT_GT(orvu_serv_print(1, 736, 1, long_name.c_str()), 0);
    EXPECT_GT(orvu_serv_print(1, 743, 2, 3, std::nan("")), 0);
    ASSERT_EQ(cap.records.size(), 3u);
    EXPECT_EQ(cap.records[0].msg, 735);
    EXPECT_STREQ(cap.records[0].name, "vdDiv");
    EXPECT_EQ(cap.records[0].index, 17);
    EXPECT_EQ(cap.records[1].argc, 1);
    EXPECT_EQ(std::string(cap.records[1].name), long_name.substr(0, 63));   // cut and terminated
    EXPECT_EQ(cap.records[2].index, 3);
    EXPECT_TRUE(std::isnan(cap.records[2].value));
    for (int32_t msg = 735; msg <= 741; ++msg) EXPECT_GT(orvu_serv_print(1, msg, 2, "f", 0), 0) << msg;
    for (int32_t msg = 742; msg <= 753; ++msg) EXPECT_GT(orvu_serv_print(1, msg, 2, 0, 1.5), 0) << msg;
    EXPECT_EQ(cap.records.size(), 22u);
    EXPECT_EQ(cap.records.back().value, 1.5);
    EXPECT_LT(orvu_serv_print(1, 734, 1, "f"), 0);
    EXPECT_LT(orvu_serv_print(1, 754, 2, 0, 1.0), 0);
    EXPECT_LT(orvu_serv_print(1, 742, 1, 0), 0);   // too few arguments for a value line
    EXPECT_EQ(cap.records.size(), 22u);
}

TEST(Print, WithoutSinkGoesToStderr) {
    testing::internal::CaptureStderr();
    orvu_serv_print(1, 739, 1, "vsExp");
    orvu_serv_print(1, 742, 2, 4, 100.0);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("vsExp"), std::string::npos);
    EXPECT_NE(err.find("overflow"), std::string::npos);
    EXPECT_NE(err.find("element 4"), std::string::npos);
    EXPECT_NE(err.find("100"), std::string::npos);
}

}  // namespace
