// The output-port dialog's driver-file intake: size, rate and block-size checks, what an accepted file
// brings, and that a refused file leaves the previous driver in place.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "app/driver_data.h"
#include "app/heap_record.h"
#include "design/element_dialogs.h"
#include "test_util.h"

namespace {

std::vector<std::string> Texts(const DialogOutcome& o) {
    std::vector<std::string> t;
    for (const HvMessage& m : o.messages) t.push_back(m.text);
    return t;
}

class DriverIntakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        net_ = AllocZeroed<WorkingNetwork>();
        ResetWorkingNetwork(net_.get());
        net_->elements[e_].kind = OutputPort;
        net_->element_count = 1;
        std::strcpy(net_->driver_file_path[e_], "C:\\drivers\\woofer.wfr");
        OpenOutputPortDialog(*net_, e_, &state_);
        buffer_ = AllocZeroed<HV_Driver_Data>();
        file_ = AllocZeroed<HV_Driver_Data>();
        file_->Sampling = 1;
        file_->Buffer_Size = 1;
        std::strcpy(file_->params[kEfficiencyField], "87.5");
        for (int k = 0; k < 65536; ++k) {
            file_->hbt_re_lin[k] = 0.5f + k;
            file_->hbt_im_lin[k] = -0.25f;
        }
        // The element's previous driver.
        for (int k = 0; k < 65536; ++k) net_->driver_responses[e_].re[k] = 7.0f;
        net_->driver_responses[e_].efficiency_db = 90.0f;
        std::strcpy(net_->driver_file_title[e_], "woofer.wfr");
    }
    std::string Write(const char* name, std::size_t size) {
        const std::string path = dir_.File(name);
        std::ofstream f(path, std::ios::binary);
        f.write(reinterpret_cast<const char*>(file_.get()), static_cast<std::streamsize>(size));
        return path;
    }
    void ExpectPreviousDriverKept() {
        EXPECT_EQ(net_->driver_responses[e_].re[1000], 7.0f);
        EXPECT_STREQ(net_->driver_file_path[e_], "C:\\drivers\\woofer.wfr");
        EXPECT_STREQ(net_->driver_file_title[e_], "woofer.wfr");
        EXPECT_EQ(state_.pickerFileName, "C:\\drivers\\woofer.wfr");
    }
    ScratchDir dir_;
    HeapRecord<HV_Driver_Data> buffer_, file_;
    HeapRecord<WorkingNetwork> net_;
    int e_ = 0;
    OutputPortDialogState state_;
};

TEST_F(DriverIntakeTest, AnAcceptedFileReplacesTheDriver) {
    const std::string path = Write("tweeter.twe", kDriverFileBytes);
    DialogOutcome o;
    EXPECT_EQ(LoadPortDriverFile(path, "tweeter.twe", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 1);
    EXPECT_TRUE(o.messages.empty());
    EXPECT_EQ(net_->driver_responses[e_].re[1000], 1000.5f);
    EXPECT_EQ(net_->driver_responses[e_].im[65535], -0.25f);
    EXPECT_EQ(net_->driver_responses[e_].efficiency_db, 87.5f);
    EXPECT_EQ(std::string(net_->driver_file_path[e_]), path);
    EXPECT_STREQ(net_->driver_file_title[e_], "tweeter.twe");
    EXPECT_EQ(state_.pickerFileName, path);
    EXPECT_EQ(o.texts[0], (std::pair<int, std::string>{1600, path}));
}

TEST_F(DriverIntakeTest, OneByteShortIsNotRecognized) {
    const std::string path = Write("short.wfr", kDriverFileBytes - 1);
    DialogOutcome o;
    EXPECT_EQ(LoadPortDriverFile(path, "short.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 0);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"This File Is Not Recognized As HV9 File"});
    ExpectPreviousDriverKept();
}

TEST_F(DriverIntakeTest, MissingFileCannotBeOpened) {
    DialogOutcome o;
    EXPECT_EQ(LoadPortDriverFile(dir_.File("none.wfr"), "none.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 0);
    EXPECT_EQ(Texts(o), std::vector<std::string>{"Unable to Open This Driver File"});
    ExpectPreviousDriverKept();
}

TEST_F(DriverIntakeTest, AnotherRateOrBlockSizeKeepsThePreviousDriver) {
    file_->Sampling = 2;
    std::string path = Write("rate.wfr", kDriverFileBytes);
    DialogOutcome o;
    EXPECT_EQ(LoadPortDriverFile(path, "rate.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 0);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, "HV_Driver_Data->dr.Sampling = 2, pr_file->HV_Sampling = 1 ");
    EXPECT_EQ(o.messages[0].caption, "This File Was Sampled at Different Frequency");
    ExpectPreviousDriverKept();
    file_->Sampling = 1;
    file_->Buffer_Size = 3;
    path = Write("size.wfr", kDriverFileBytes);
    o = DialogOutcome{};
    EXPECT_EQ(LoadPortDriverFile(path, "size.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 0);
    ASSERT_EQ(o.messages.size(), 1u);
    EXPECT_EQ(o.messages[0].text, "HV_Driver_Data->dr.Buffer_Size = 3, HV_Buffer_Size = 1 ");
    EXPECT_EQ(o.messages[0].caption, "This File Has Different Buffer Size");
    ExpectPreviousDriverKept();
    // Done after the refusals keeps the previous path too.
    OutputPortEnvironment env;
    OutputPortDone(net_.get(), e_, OutputPortDoneTexts{"0", "0", "0", "2", "20", "200"}, &state_, env);
    EXPECT_STREQ(net_->driver_file_path[e_], "C:\\drivers\\woofer.wfr");
}

TEST_F(DriverIntakeTest, AnEfficiencyTextWithoutItsNulIsReadToTenCharacters) {
    std::memcpy(file_->params[kEfficiencyField], "88.2500000999", 11);
    const std::string path = Write("eff.wfr", kDriverFileBytes);
    DialogOutcome o;
    LoadPortDriverFile(path, "eff.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o);
    EXPECT_FLOAT_EQ(net_->driver_responses[e_].efficiency_db, 88.25f);
}

TEST_F(DriverIntakeTest, ResponsePointsThatAreNoNumberAreTakenFlat) {
    // A damaged driver file: its other points are taken as they are, the broken ones flat (1 + 0j).
    file_->hbt_re_lin[100] = std::nanf("");
    file_->hbt_im_lin[200] = INFINITY;
    file_->hbt_re_lin[300] = 1e20f;
    const std::string path = Write("damaged.wfr", kDriverFileBytes);
    DialogOutcome o;
    ASSERT_EQ(LoadPortDriverFile(path, "damaged.wfr", buffer_.get(), 1, 1, net_.get(), e_, &state_, &o), 1);
    const DriverResponse& d = net_->driver_responses[e_];
    for (int k : {100, 200, 300}) {
        EXPECT_EQ(d.re[k], 1.0f) << k;
        EXPECT_EQ(d.im[k], 0.0f) << k;
    }
    EXPECT_EQ(d.re[101], 101.5f);
    EXPECT_EQ(d.im[101], -0.25f);
    for (int k = 0; k < 65536; ++k) ASSERT_TRUE(std::isfinite(d.re[k]) && std::isfinite(d.im[k])) << k;
}

}  // namespace
