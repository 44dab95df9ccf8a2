// One whiteboard source under load from every side at once, inside real
// libobs: libobs's graphics thread ticks it, the test thread renders it, and
// workers send pointer and key events, commands, settings updates, status
// queries, saves and loads for a few seconds. Nothing may deadlock, and no
// finished item may get lost.

#include "kpobsext.h"
#include "kpobstestenvironment.h"

#include <QElapsedTimer>
#include <QThread>

#include <obs.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

const int kStressMs = 3000;

size_t savedItems(obs_source_t *source)
{
    obs_source_save(source);
    OBSDataAutoRelease settings = obs_source_get_settings(source);
    OBSDataAutoRelease content = obs_data_get_obj(settings, "kp_wb_data");
    OBSDataArrayAutoRelease records = obs_data_get_array(content, "kp_wb_data_datas");
    return obs_data_array_count(records);
}

void click(obs_source_t *source, int x, int y, bool up)
{
    obs_mouse_event event = {0, x, y};
    obs_source_send_mouse_click(source, &event, MOUSE_LEFT, up, 1);
}

void moveTo(obs_source_t *source, int x, int y)
{
    obs_mouse_event event = {0, x, y};
    obs_source_send_mouse_move(source, &event, false);
}

// Runs the body until the stress time is over.
template<typename Body> std::unique_ptr<QThread> worker(Body body)
{
    return std::unique_ptr<QThread>(QThread::create([body] {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; timer.elapsed() < kStressMs; ++i)
            body(i);
    }));
}

} // namespace

TEST(WhiteboardStress, EverythingAtOnceNeitherDeadlocksNorLosesItems)
{
    OBSDataAutoRelease settings = obs_data_create();
    obs_data_set_int(settings, "kp_wb_width", 320);
    obs_data_set_int(settings, "kp_wb_height", 240);
    obs_source_t *source = obs_source_create("kp_source_whiteboard", "stress", settings, nullptr);
    ASSERT_NE(source, nullptr);
    obs_sceneitem_t *shown = KPObsTestEnvironment::runtime().show(source);
    // Creation leaves the default tool; the rectangle tool is chosen
    // afterwards, as a presenter does, and libobs applies it on a tick.
    OBSDataAutoRelease tool = obs_data_create();
    obs_data_set_int(tool, "kp_wb_draw_type", 1);
    obs_source_update(source, tool);
    ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));

    // Rectangles are drawn by one thread only: two pointers on one board
    // would share its item being drawn. Every third rectangle is undone.
    std::atomic<int> drawn{0};
    std::atomic<int> undone{0};
    std::vector<std::unique_ptr<QThread>> workers;
    workers.push_back(worker([&](int i) {
        click(source, 10 + i % 200, 10, false);
        moveTo(source, 40 + i % 200, 60);
        click(source, 60 + i % 200, 100, true);
        ++drawn;
        if (i % 3 == 2) {
            kp_obs_custom_callback(source, 1, nullptr);
            ++undone;
        }
    }));
    // Settings updates, saves and loads come from one thread, as from a
    // host's interface thread, each after the previous one is applied: libobs
    // reads and writes a source's settings record without a lock of its own.
    workers.push_back(worker([&](int i) {
        if (i % 2 == 1) {
            obs_source_save(source);
            OBSDataAutoRelease saved = obs_source_get_settings(source);
            // A second board loads what the first saved, while the first goes on.
            obs_source_t *copy = obs_source_create_private("kp_source_whiteboard", "copy", saved);
            obs_source_load(copy);
            obs_source_release(copy);
            return;
        }
        // The tool keeps its type, so that no drag changes kind half-way.
        OBSDataAutoRelease update = obs_data_create();
        obs_data_set_int(update, "kp_wb_draw_type", 1);
        obs_data_set_int(update, "kp_wb_draw_color", 0xff000000LL | (i * 40503));
        obs_data_set_int(update, "kp_wb_draw_size", 1 + i % 9);
        obs_data_set_int(update, "kp_wb_width", 320 + i % 2);
        obs_data_set_int(update, "kp_wb_height", 240);
        obs_source_update(source, update);
        // libobs applies the update on its graphics thread at the next tick;
        // a save meanwhile would write into the record being read.
        KPObsTestEnvironment::runtime().waitTicks(2, 5000);
    }));
    workers.push_back(worker([&](int i) {
        obs_key_event key = {};
        key.text = const_cast<char *>("a");
        key.native_vkey = 'a';
        obs_source_send_key_click(source, &key, i % 2 == 1);
        obs_source_send_focus(source, true);
        kp_obs_custom_callback(source, 99, nullptr);
    }));
    for (int t = 0; t < 2; ++t) {
        workers.push_back(worker([&](int) {
            obs_data_t *status = kp_obs_get_source_status(source);
            obs_data_get_json(status);
        }));
    }
    for (auto &thread : workers)
        thread->start();
    int renders = 0;
    bool running = true;
    while (running) {
        KPObsTestEnvironment::runtime().renderSource(source);
        ++renders;
        running = false;
        for (auto &thread : workers)
            running = running || !thread->isFinished();
    }
    for (auto &thread : workers)
        ASSERT_TRUE(thread->wait(60000)) << "a worker is stuck";
    ASSERT_TRUE(KPObsTestEnvironment::runtime().waitTicks(2, 5000));

    EXPECT_GT(drawn.load(), 10);
    EXPECT_GT(renders, 10);
    EXPECT_EQ(savedItems(source), size_t(drawn - undone));
    KPObsTestEnvironment::runtime().removeFromOutput(shown);
    obs_source_release(source);
    KPObsTestEnvironment::runtime().drainDestroyQueue();
}
