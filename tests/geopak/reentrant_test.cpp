// A host that deletes the protocol in the middle of a recording whose macro
// never answers: the worker gives up its wait and ends before any member
// goes. The wait is bounded: a deadlock fails here instead of hanging.
// (Calls back from notifications are the COSMOS tests'; a host call during
// polling is the recording tests' move.)
#include "fake_geopak.h"

#include <future>
#include <memory>

namespace {

class GeopakHost : public geopaktest::GeopakTest {};

TEST_F(GeopakHost, DeletingMidRecordingEndsTheWorker) {
    geopaktest::FakeGeopak geopak(sandbox);  // it never answers a poll
    sandbox.ui().SetDefaultAnswer(IDYES);
    auto owned = std::make_unique<MitutoyoProtocol>();
    testsupport::SetSetting(*owned, "GeoPak Local", 0);
    ASSERT_TRUE(owned->Connect());
    ASSERT_TRUE(owned->StartThread());
    owned->OnStartTransaction();
    ASSERT_TRUE(testsupport::Eventually([&] { return !geopak.Commands().empty(); })) << "no poll went out";
    auto deleted = std::async(std::launch::async, [&] { owned.reset(); });
    ASSERT_EQ(deleted.wait_for(std::chrono::seconds(10)), std::future_status::ready) << "deleting the protocol hung";
}

}  // namespace
