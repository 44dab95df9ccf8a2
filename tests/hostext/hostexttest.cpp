// A source type registered through the host extension, inside real libobs.

#include "kpobsext.h"
#include "kpobstestenvironment.h"

#include <QElapsedTimer>
#include <QTabletEvent>
#include <QThread>

#include <util/bmem.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

auto *g_environment = ::testing::AddGlobalTestEnvironment(new KPObsTestEnvironment({true, false}));

struct Calls
{
    int status = 0;
    int command = 0;
    int lastCommand = -1;
    obs_data_t *lastSettings = nullptr;
    void *lastEvent = nullptr;
    int tablet = 0;
};

Calls g_calls;
int g_data = 0;

kp_obs_source_info extendedRecord(const char *id)
{
    kp_obs_source_info info = {};
    info.id = id;
    info.type = OBS_SOURCE_TYPE_INPUT;
    info.output_flags = OBS_SOURCE_VIDEO;
    info.get_name = [](void *) { return "test source"; };
    info.create = [](obs_data_t *, obs_source_t *) -> void * { return &g_data; };
    info.destroy = [](void *) {};
    info.get_width = [](void *) -> uint32_t { return 7; };
    info.get_height = [](void *) -> uint32_t { return 5; };
    info.status = [](void *, obs_data_t *status) {
        ++g_calls.status;
        obs_data_set_int(status, "answer", 42);
    };
    info.do_custom_callback = [](void *, int number, obs_data_t *settings) {
        ++g_calls.command;
        g_calls.lastCommand = number;
        g_calls.lastSettings = settings;
    };
    info.tablet_event = [](void *, void *event) {
        ++g_calls.tablet;
        g_calls.lastEvent = event;
    };
    return info;
}

kp_obs_source_info g_full = extendedRecord("kp_test_extended");
kp_obs_source_info g_plain = extendedRecord("kp_test_plain");

class HostExtension : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        kp_obs_register_source(&g_full, sizeof(g_full));
        // A record that ends before the host's fields registers with libobs only.
        kp_obs_register_source(&g_plain, offsetof(kp_obs_source_info, status));
    }
    void SetUp() override { g_calls = Calls(); }
};

} // namespace

TEST_F(HostExtension, LibobsSeesTheFirstFieldsButNeverTheHostFields)
{
    EXPECT_STREQ(obs_source_get_display_name("kp_test_extended"), "test source");
    // libobs's field 34 is get_defaults2: had the host's tablet field reached
    // libobs, creating a source would have called it.
    obs_source_t *source = obs_source_create("kp_test_extended", "a", nullptr, nullptr);
    ASSERT_NE(source, nullptr);
    EXPECT_EQ(obs_source_get_width(source), 7u);
    EXPECT_EQ(g_calls.tablet, 0);
    EXPECT_EQ(g_calls.status, 0);
    obs_source_release(source);
}

TEST_F(HostExtension, FunctionsReachTheSourcesHostFieldsSynchronously)
{
    obs_source_t *source = obs_source_create("kp_test_extended", "b", nullptr, nullptr);
    obs_data_t *settings = obs_data_create();

    obs_data_t *status = kp_obs_get_source_status(source);
    EXPECT_EQ(g_calls.status, 1);
    EXPECT_EQ(obs_data_get_int(status, "answer"), 42);

    kp_obs_custom_callback(source, 3, settings);
    EXPECT_EQ(g_calls.lastCommand, 3);
    EXPECT_EQ(g_calls.lastSettings, settings);

    QTabletEvent event(QEvent::TabletPress, QPointF(1, 2), QPointF(1, 2), QTabletEvent::Stylus,
                       QTabletEvent::Pen, 0.5, 0, 0, 0, 0, 0, Qt::NoModifier, 1, Qt::LeftButton,
                       Qt::LeftButton);
    kp_tablet_event(source, &event);
    EXPECT_EQ(g_calls.lastEvent, &event);

    obs_data_release(settings);
    obs_source_release(source);
}

TEST_F(HostExtension, NullSourcesAndTypesWithoutFieldsAreHarmless)
{
    obs_source_t *plain = obs_source_create("kp_test_plain", "c", nullptr, nullptr);
    for (obs_source_t *source : {static_cast<obs_source_t *>(nullptr), plain}) {
        obs_data_t *status = kp_obs_get_source_status(source);
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(obs_data_first(status), nullptr);
        kp_obs_custom_callback(source, 1, nullptr);
        kp_tablet_event(source, nullptr);
    }
    EXPECT_EQ(g_calls.status + g_calls.command + g_calls.tablet, 0);
    obs_source_release(plain);
}

TEST_F(HostExtension, StatusRecordsAreFreedByTheHost)
{
    // libobs finishes destroying a source on its own threads: wait, bounded,
    // until every allocation made since the start is gone again.
    const auto allocationsReturnTo = [](long count) {
        QElapsedTimer timer;
        timer.start();
        while (bnum_allocs() != count && timer.elapsed() < 5000) {
            KPObsTestEnvironment::runtime().drainDestroyQueue();
            QThread::msleep(5);
        }
        return bnum_allocs() == count;
    };
    const auto createQueryRelease = [](int queries) {
        obs_source_t *source = obs_source_create("kp_test_extended", "d", nullptr, nullptr);
        for (int i = 0; i < queries; ++i)
            kp_obs_get_source_status(source);
        obs_source_release(source);
    };
    kp_obs_release_status_records();
    createQueryRelease(0); // libobs keeps some state of a type's first source
    QThread::msleep(100);
    KPObsTestEnvironment::runtime().drainDestroyQueue();
    const long before = bnum_allocs();
    createQueryRelease(5);
    EXPECT_TRUE(allocationsReturnTo(before)) << bnum_allocs() - before << " allocations left";
}

// A query on another thread must not free the record this thread still
// reads (under AddressSanitizer a freed record is a hard failure).
TEST_F(HostExtension, StatusRecordsStayValidForTheirThread)
{
    obs_source_t *source = obs_source_create("kp_test_extended", "e", nullptr, nullptr);
    obs_data_t *mine = kp_obs_get_source_status(source);
    obs_data_t *theirs = nullptr;
    std::thread other([&] { theirs = kp_obs_get_source_status(source); });
    other.join();
    EXPECT_NE(mine, theirs);
    EXPECT_EQ(obs_data_get_int(mine, "answer"), 42);
    EXPECT_EQ(obs_data_get_int(theirs, "answer"), 42);
    obs_source_release(source);
}

TEST(LogSwitch, SetterChangesTheAnswer)
{
    kp_obs_set_log_encrypted(true);
    EXPECT_TRUE(kp_obs_get_log_encrypted());
    kp_obs_set_log_encrypted(false);
    EXPECT_FALSE(kp_obs_get_log_encrypted());
}
