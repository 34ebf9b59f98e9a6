// The endpoint-list walk over a fake enumerator: counts, name slots, the chosen id and the list view.
#include "engine/endpoints.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/settings.h"
#include "platform/in_memory_audio.h"

namespace {

struct RecordingView final : EndpointListView {
    std::vector<std::pair<uint32_t, std::string>> replaced;
    std::vector<uint32_t> selected;
    void ReplaceLine(uint32_t position, const char* name) override { replaced.emplace_back(position, name); }
    void SelectLine(uint32_t position) override { selected.push_back(position); }
};

// A private set of list variables per test, filled as a fresh program would have them.
struct Lists {
    uint32_t count = 0;
    char names[kEndpointNameSlots][kEndpointNameWidth] = {};
    std::wstring id;
    EndpointListTarget Target() { return {&count, names, &id}; }
};

std::wstring IdOf(int i) { return L"{0.0.0.00000000}.{endpoint-" + std::to_wstring(i) + L"}"; }
std::string NameOf(int i) { return "Speakers " + std::to_string(i) + " (Test Device)"; }

class EndpointLists : public ::testing::Test {
protected:
    void AddRender(int n) {
        for (int i = 0; i < n; ++i) system_.AddEndpoint(StreamDirection::Render, IdOf(i), NameOf(i));
    }
    InMemoryAudioSystem system_;
    Lists lists_;
    RecordingView view_;
};

TEST_F(EndpointLists, TwoRenderEndpointsWithTheSecondChosen) {
    AddRender(2);
    system_.AddEndpoint(StreamDirection::Capture, L"{capture}", "Line In");  // another direction: not listed
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 1, lists_.Target(), &view_), HR_S_OK);
    EXPECT_EQ(lists_.count, 2u);
    EXPECT_STREQ(lists_.names[0], NameOf(0).c_str());
    EXPECT_STREQ(lists_.names[1], NameOf(1).c_str());
    EXPECT_EQ(lists_.id, IdOf(1));
    ASSERT_EQ(view_.replaced.size(), 2u);
    EXPECT_EQ(view_.replaced[0], std::make_pair(0u, NameOf(0)));
    EXPECT_EQ(view_.replaced[1], std::make_pair(1u, NameOf(1)));
    EXPECT_EQ(view_.selected, std::vector<uint32_t>{1});
}

TEST_F(EndpointLists, SlotsPastTheCountKeepWhatTheyHeld) {
    AddRender(2);
    std::strcpy(lists_.names[2], "Earlier Device");
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 0, lists_.Target(), nullptr), HR_S_OK);
    EXPECT_STREQ(lists_.names[2], "Earlier Device");
    EXPECT_STREQ(lists_.names[3], "");
}

TEST_F(EndpointLists, AChoicePastTheListKeepsTheIdOfTheChosenDevice) {
    // The user chose the third device; then another one went away and the list is two long. The kept id
    // still opens the chosen device, now listed first, and not whichever device stands at position 2.
    AddRender(3);
    auto first = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*first, StreamDirection::Render, 2, lists_.Target(), nullptr), HR_S_OK);
    ASSERT_EQ(lists_.id, IdOf(2));
    InMemoryAudioSystem later;
    InMemoryEndpoint& chosen = later.AddEndpoint(StreamDirection::Render, IdOf(2), NameOf(2));
    later.AddEndpoint(StreamDirection::Render, IdOf(0), NameOf(0));
    auto enumerator = later.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 2, lists_.Target(), &view_), HR_S_OK);
    EXPECT_EQ(lists_.count, 2u);
    EXPECT_EQ(lists_.id, IdOf(2));
    auto stream = later.NewRenderStream();
    ASSERT_EQ(stream->InitializeCom(), HR_S_OK);
    ASSERT_EQ(stream->CreateEnumerator(), HR_S_OK);
    EXPECT_EQ(stream->OpenDevice(lists_.id.c_str()), HR_S_OK);
    EXPECT_EQ(chosen.Id(), lists_.id);
}

TEST_F(EndpointLists, NoEndpointsGivesACountOfZeroAndKeepsTheId) {
    lists_.count = 3;
    lists_.id = L"{old}";
    std::strcpy(lists_.names[0], "Old Name");
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 0, lists_.Target(), &view_), HR_S_OK);
    EXPECT_EQ(lists_.count, 0u);
    EXPECT_EQ(lists_.id, L"{old}");
    EXPECT_STREQ(lists_.names[0], "Old Name");
    EXPECT_TRUE(view_.replaced.empty());
}

TEST_F(EndpointLists, ANewListingReplacesThePreviousId) {
    AddRender(3);
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 2, lists_.Target(), nullptr), HR_S_OK);
    EXPECT_EQ(lists_.id, IdOf(2));
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 0, lists_.Target(), nullptr), HR_S_OK);
    EXPECT_EQ(lists_.id, IdOf(0));
}

TEST_F(EndpointLists, AtMostOneHundredEndpointsAreListed) {
    AddRender(120);
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 99, lists_.Target(), &view_), HR_S_OK);
    EXPECT_EQ(lists_.count, 100u);
    EXPECT_STREQ(lists_.names[99], NameOf(99).c_str());
    EXPECT_EQ(lists_.id, IdOf(99));
    EXPECT_EQ(view_.replaced.size(), 100u);
    // Endpoints beyond the slots cannot be chosen: the id of the last choice stays.
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 105, lists_.Target(), nullptr), HR_S_OK);
    EXPECT_EQ(lists_.id, IdOf(99));
}

TEST_F(EndpointLists, ALongNameIsCutToItsSlot) {
    const std::string long_name(700, 'x');
    system_.AddEndpoint(StreamDirection::Render, L"{long}", long_name);
    system_.AddEndpoint(StreamDirection::Render, L"{next}", "Next");
    auto enumerator = system_.NewEnumerator();
    ASSERT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 0, lists_.Target(), nullptr), HR_S_OK);
    EXPECT_EQ(std::strlen(lists_.names[0]), static_cast<std::size_t>(kEndpointNameWidth - 1));
    EXPECT_EQ(std::string(lists_.names[0]), long_name.substr(0, kEndpointNameWidth - 1));
    EXPECT_STREQ(lists_.names[1], "Next");
}

TEST_F(EndpointLists, AFailedReadEndsTheWalkAndKeepsWhatWasWritten) {
    AddRender(4);
    system_.InjectEnumerationFailure(HR_E_OUTOFMEMORY, 2);
    auto enumerator = system_.NewEnumerator();
    // The chosen position was reached before the failure: its id stays.
    EXPECT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 1, lists_.Target(), &view_), HR_E_OUTOFMEMORY);
    EXPECT_EQ(lists_.count, 4u);
    EXPECT_STREQ(lists_.names[0], NameOf(0).c_str());
    EXPECT_STREQ(lists_.names[1], NameOf(1).c_str());
    EXPECT_STREQ(lists_.names[2], "");
    EXPECT_EQ(lists_.id, IdOf(1));
    EXPECT_TRUE(view_.selected.empty());
    // Not reached: the previous id stays.
    EXPECT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 3, lists_.Target(), nullptr), HR_E_OUTOFMEMORY);
    EXPECT_EQ(lists_.id, IdOf(1));
}

TEST_F(EndpointLists, AnEnumeratorThatCannotOpenChangesNothing) {
    AddRender(2);
    lists_.count = 7;
    lists_.id = L"{kept}";
    system_.InjectEnumerationFailure(HR_REGDB_E_CLASSNOTREG, -1);
    auto enumerator = system_.NewEnumerator();
    EXPECT_EQ(ListEndpoints(*enumerator, StreamDirection::Render, 0, lists_.Target(), &view_),
              HR_REGDB_E_CLASSNOTREG);
    EXPECT_EQ(lists_.count, 7u);
    EXPECT_EQ(lists_.id, L"{kept}");
    EXPECT_TRUE(view_.replaced.empty());
}

TEST_F(EndpointLists, CaptureAndRenderListsUseTheirOwnVariablesAndIndex) {
    AddRender(3);
    system_.AddEndpoint(StreamDirection::Capture, L"{capture-0}", "Line In");
    system_.AddEndpoint(StreamDirection::Capture, L"{capture-1}", "Mic In");
    const uint32_t saved_capture = CaptureDeviceIndex, saved_render = RenderDeviceIndex;
    CaptureDeviceIndex = 1;
    RenderDeviceIndex = 2;
    auto enumerator = system_.NewEnumerator();
    EXPECT_EQ(ListCaptureEndpoints(*enumerator, nullptr), HR_S_OK);
    EXPECT_EQ(ListRenderEndpoints(*enumerator, nullptr), HR_S_OK);
    EXPECT_EQ(CaptureEndpointCount, 2u);
    EXPECT_EQ(RenderEndpointCount, 3u);
    EXPECT_STREQ(CaptureEndpointNames[1], "Mic In");
    EXPECT_STREQ(RenderEndpointNames[2], NameOf(2).c_str());
    EXPECT_EQ(CaptureEndpointId, L"{capture-1}");
    EXPECT_EQ(RenderEndpointId, IdOf(2));
    CaptureDeviceIndex = saved_capture;
    RenderDeviceIndex = saved_render;
}

TEST(CopyEndpointName, TerminatesEveryLength) {
    char slot[kEndpointNameWidth];
    std::memset(slot, 'z', sizeof slot);
    CopyEndpointName(slot, "");
    EXPECT_STREQ(slot, "");
    CopyEndpointName(slot, std::string(kEndpointNameWidth - 1, 'a'));
    EXPECT_EQ(std::strlen(slot), static_cast<std::size_t>(kEndpointNameWidth - 1));
    CopyEndpointName(slot, std::string(kEndpointNameWidth, 'b'));
    EXPECT_EQ(std::strlen(slot), static_cast<std::size_t>(kEndpointNameWidth - 1));
    EXPECT_EQ(slot[0], 'b');
}

}  // namespace
