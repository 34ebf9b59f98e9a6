// Result-code names against the published values (the hexadecimal codes as the Windows SDK documents
// them), and the texts a status line prints.
#include "platform/audio_stream.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

struct Published {
    uint32_t value;
    const char* name;
};

// Every code the stream set-up steps name, plus the everyday ones, as published.
constexpr Published kPublished[] = {
    {0x00000000u, "S_OK"},
    {0x00000001u, "S_FALSE"},
    {0x80010106u, "RPC_E_CHANGED_MODE"},
    {0x80040154u, "REGDB_E_CLASSNOTREG"},
    {0x80040110u, "CLASS_E_NOAGGREGATION"},
    {0x80004002u, "E_NOINTERFACE"},
    {0x80004003u, "E_POINTER"},
    {0x80070057u, "E_INVALIDARG"},
    {0x80070490u, "E_NOTFOUND"},
    {0x8007000Eu, "E_OUTOFMEMORY"},
    {0x80004005u, "E_FAIL"},
    {0x88890001u, "AUDCLNT_E_NOT_INITIALIZED"},
    {0x88890002u, "AUDCLNT_E_ALREADY_INITIALIZED"},
    {0x88890003u, "AUDCLNT_E_WRONG_ENDPOINT_TYPE"},
    {0x88890004u, "AUDCLNT_E_DEVICE_INVALIDATED"},
    {0x88890008u, "AUDCLNT_E_UNSUPPORTED_FORMAT"},
    {0x8889000Au, "AUDCLNT_E_DEVICE_IN_USE"},
    {0x8889000Eu, "AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED"},
    {0x8889000Fu, "AUDCLNT_E_ENDPOINT_CREATE_FAILED"},
    {0x88890010u, "AUDCLNT_E_SERVICE_NOT_RUNNING"},
    {0x88890011u, "AUDCLNT_E_EVENTHANDLE_NOT_EXPECTED"},
    {0x88890013u, "AUDCLNT_E_BUFDURATION_PERIOD_NOT_EQUAL"},
    {0x88890016u, "AUDCLNT_E_BUFFER_SIZE_ERROR"},
    {0x88890017u, "AUDCLNT_E_CPUUSAGE_EXCEEDED"},
    {0x88890019u, "AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED"},
    {0x88890020u, "AUDCLNT_E_INVALID_DEVICE_PERIOD"},
    {0x88890005u, "AUDCLNT_E_NOT_STOPPED"},
    {0x88890006u, "AUDCLNT_E_BUFFER_TOO_LARGE"},
    {0x88890007u, "AUDCLNT_E_OUT_OF_ORDER"},
    {0x88890009u, "AUDCLNT_E_INVALID_SIZE"},
    {0x88890014u, "AUDCLNT_E_EVENTHANDLE_NOT_SET"},
    {0x88890018u, "AUDCLNT_E_BUFFER_ERROR"},
    {0x08890001u, "AUDCLNT_S_BUFFER_EMPTY"},
};

TEST(HresultName, NamesEveryCodeTheSetUpStepsList) {
    for (const Published& p : kPublished) {
        const char* name = HresultName(static_cast<int32_t>(p.value));
        ASSERT_NE(name, nullptr) << std::hex << p.value;
        EXPECT_STREQ(name, p.name) << std::hex << p.value;
    }
}

TEST(HresultName, ConstantsCarryThePublishedValues) {
    EXPECT_EQ(static_cast<uint32_t>(HR_AUDCLNT_E_DEVICE_IN_USE), 0x8889000Au);
    EXPECT_EQ(static_cast<uint32_t>(HR_AUDCLNT_E_UNSUPPORTED_FORMAT), 0x88890008u);
    EXPECT_EQ(static_cast<uint32_t>(HR_AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED), 0x8889000Eu);
    EXPECT_EQ(static_cast<uint32_t>(HR_AUDCLNT_E_HEADTRACKING_UNSUPPORTED), 0x88890040u);
    EXPECT_EQ(static_cast<uint32_t>(HR_E_POINTER), 0x80004003u);
    EXPECT_EQ(static_cast<uint32_t>(HR_E_NOTFOUND), 0x80070490u);
    EXPECT_TRUE(HrFailed(HR_AUDCLNT_E_DEVICE_IN_USE));
    EXPECT_TRUE(HrSucceeded(HR_S_FALSE));
    EXPECT_TRUE(HrSucceeded(HR_AUDCLNT_S_BUFFER_EMPTY));
}

TEST(HresultName, NamesAreUniqueAndEveryAudioClientErrorHasOne) {
    std::set<std::string> names;
    int named = 0;
    for (uint32_t n = 0; n <= 0x40; ++n) {
        if (const char* name = HresultName(AudioClientError(n))) {
            EXPECT_EQ(std::string(name).rfind("AUDCLNT_E_", 0), 0u) << name;
            EXPECT_TRUE(names.insert(name).second) << name;
            ++named;
        }
    }
    // 0x001..0x00C, 0x00E..0x019, 0x020..0x029, 0x030 and 0x040 are the published audio client errors.
    EXPECT_EQ(named, 12 + 12 + 10 + 2);
    EXPECT_EQ(HresultName(AudioClientError(0x00D)), nullptr);
    EXPECT_EQ(HresultName(AudioClientError(0x01A)), nullptr);
}

TEST(HresultText, FallsBackToHexadecimal) {
    EXPECT_EQ(HresultText(HR_AUDCLNT_E_DEVICE_IN_USE), "AUDCLNT_E_DEVICE_IN_USE");
    EXPECT_EQ(HresultText(static_cast<int32_t>(0x8000DEADu)), "0x8000DEAD");
    EXPECT_EQ(HresultName(static_cast<int32_t>(0x8000DEADu)), nullptr);
    // The status line form: the step's label, a blank and the name.
    EXPECT_EQ("Initialize " + HresultText(HR_AUDCLNT_E_DEVICE_IN_USE), "Initialize AUDCLNT_E_DEVICE_IN_USE");
}

TEST(StreamFormat, BlockAlignAndByteRate) {
    StreamFormat sixteen_out;
    sixteen_out.channels = 16;
    sixteen_out.samples_per_second = 96000;
    sixteen_out.bits_per_sample = 32;
    EXPECT_EQ(sixteen_out.BlockAlign(), 64u);
    EXPECT_EQ(sixteen_out.AverageBytesPerSecond(), 64u * 96000u);
    StreamFormat stereo16;
    stereo16.bits_per_sample = 16;
    EXPECT_EQ(stereo16.BlockAlign(), 4u);
}

TEST(StreamDurations, FramesAndDurationsConvertBothWays) {
    EXPECT_EQ(FramesToDuration(512, 44100), 116100);
    EXPECT_EQ(FramesToDuration(1024, 48000), 213334);  // rounded up, not 213333
    EXPECT_EQ(FramesToDuration(2048, 44100), 464400);  // not 464399
    EXPECT_EQ(FramesToDuration(512, 0), 0);
    for (uint32_t rate : {44100u, 48000u, 96000u}) {
        for (uint32_t frames : {512u, 1024u, 2048u, 4096u}) {
            EXPECT_EQ(DurationToFrames(FramesToDuration(frames, rate), rate), frames) << rate << " " << frames;
        }
    }
    EXPECT_EQ(DurationToFrames(0, 48000), 0u);
}

}  // namespace
