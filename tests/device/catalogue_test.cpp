// Object catalogue and the layouts that go with it.
#include "device/object_dictionary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(Catalogue, LookUpByIndexAndMnemonic) {
    int n = 0;
    const od::ObjectInfo* table = od::Catalogue(&n);
    std::set<std::string> mnemonics;
    for (int i = 0; i < n; ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].index, table[i].index);
        }
        if (*table[i].mnemonic) {
            EXPECT_TRUE(mnemonics.insert(table[i].mnemonic).second) << table[i].mnemonic;
        }
    }
    EXPECT_EQ(od::Find(0x37)->index, 0x37);
    EXPECT_EQ(od::Find(0x01), nullptr);
    EXPECT_EQ(od::FindByMnemonic("sp")->index, 0x1f);
    EXPECT_EQ(od::FindByMnemonic(""), nullptr);
    EXPECT_EQ(od::FindByMnemonic("zz"), nullptr);
}

TEST(Catalogue, SpectrumUnpacking) {
    // Bits above 29 belong to no axis.
    const od::SpectrumBin b = od::UnpackSpectrumBin(static_cast<int32_t>(0xC0000000u | (5u << 20) | (1023u << 10) | 7u));
    EXPECT_EQ(b.x, 7);
    EXPECT_EQ(b.y, 1023);
    EXPECT_EQ(b.z, 5);
    EXPECT_EQ(od::SpectrumSpanHz(0), 100);
    EXPECT_EQ(od::SpectrumFullScale(0), 1);
    EXPECT_EQ(od::SpectrumSpanHz((20 << 16) | 500), 500);
    EXPECT_EQ(od::SpectrumSpanHz(50), 100);
    EXPECT_EQ(od::SpectrumFullScale((20 << 16) | 500), 20);
}

TEST(Catalogue, ProbeRunsFor990Elements) {
    int per[4] = {};
    int runs = 0, last = 0;
    for (int n = 0; n < 990; ++runs) {
        const od::ProbeRun r = od::ProbeRunAt(n, 990);
        EXPECT_EQ(r.first, n);
        EXPECT_EQ(r.subIndex, n % 256);
        EXPECT_LE(r.subIndex + r.count, 256);
        per[r.object - 0x28] += r.count;
        last = r.count;
        n += r.count;
    }
    EXPECT_EQ(runs, 31);
    EXPECT_EQ(per[0], 256);
    EXPECT_EQ(per[1], 256);
    EXPECT_EQ(per[2], 256);
    EXPECT_EQ(per[3], 222);
    EXPECT_EQ(last, 30);
}

TEST(Catalogue, ProbeKindByCommandOrStatusCode) {
    EXPECT_EQ(od::ProbeKindPosition(1005), 3);
    EXPECT_EQ(od::ProbeKindPosition(0x500), 3);
    EXPECT_EQ(od::ProbeKindPosition(0x800), 7);
    EXPECT_EQ(od::ProbeKindPosition(0), -1);
    EXPECT_EQ(od::ProbeKindPosition(1009), -1);
    EXPECT_EQ(od::ProbeKindAt(7)->Total(), 990);
    EXPECT_EQ(od::ProbeKindAt(8), nullptr);
}

TEST(Catalogue, SyncSelectionVibrationAndProduct) {
    EXPECT_EQ(od::SyncSelectionNames(0x1 | 0x40 | 0x800), "Time. Euler. Vibr. ");
    EXPECT_EQ(od::SyncSelectionNames(0), "");
    EXPECT_NEAR(*od::NaturalFrequency(10, 0.6), 12.5, 1e-12);
    EXPECT_FALSE(od::NaturalFrequency(10, 1.0));
    EXPECT_FALSE(od::NaturalFrequency(10, -0.1));
    EXPECT_DOUBLE_EQ(*od::QFactor(0.25), 2.0);
    EXPECT_DOUBLE_EQ(*od::QFactor(1.0), 0.5);
    EXPECT_FALSE(od::QFactor(0));
    EXPECT_STREQ(od::MagnitudeUnit(3), "m/s^2");
    EXPECT_STREQ(od::MagnitudeUnit(0), "");
    EXPECT_STREQ(od::ProductText(od::kProductTarvik), "Tarvik (KV-TQM-v1)");
    EXPECT_STREQ(od::ProductText(1010), "---");
}

TEST(Catalogue, StatusLineTextAndColour) {
    using C = od::StatusColour;
    EXPECT_EQ(od::StatusText(true, false, false, 0x00030000), "Calibration failed, Voltage exceeds rated range.");
    EXPECT_EQ(od::StatusColourOf(true, false, false, 0x00030000), C::Orange);
    EXPECT_EQ(od::StatusText(true, false, false, 0x01000000), "Flash access error.");
    EXPECT_EQ(od::StatusColourOf(true, false, false, 0x01000000), C::Red);
    EXPECT_EQ(od::StatusText(true, false, false, 0xFFFF), "Device is connected.");
    EXPECT_EQ(od::StatusColourOf(true, false, false, 0xFFFF), C::Normal);
    EXPECT_EQ(od::StatusText(true, false, false, 0x10000), "Calibration failed.");
    EXPECT_EQ(od::StatusText(false, true, true, 0x10000), "Device is disconnected.");
    EXPECT_EQ(od::StatusText(true, true, false, 0), "Communication bus error.");
    EXPECT_EQ(od::StatusColourOf(true, true, false, 0), C::Yellow);
    EXPECT_EQ(od::StatusText(true, false, true, 0), "Device is not responding.");
    EXPECT_EQ(od::StatusColourOf(true, false, true, 0), C::Yellow);
    EXPECT_EQ(od::StatusColourOf(false, true, true, 0), C::Normal);
    EXPECT_EQ(od::StatusText(true, false, false, 0x02000000), "Accl&&Gyro sensor error.");
}
