// libFuzzer target: the input is read as a saved whiteboard record (the JSON
// of a source's settings), loaded into a board, ticked and painted with its
// text boxes, put through the history commands and saved again.

#include "kpwhiteboardobject.h"

#include <QGuiApplication>

#include <obs.h>
#include <util/base.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void dropLine(int, const char *, va_list, void *) {}
void dropQtMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

// Ticks compose the board's image; without video there is no texture.
void tick(KPWhiteBoardObject &board)
{
    board.requestRedraw();
    board.do_video_tick();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // Text boxes paint with QPainter and need a GUI application, not a screen.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Kept to the end: Qt's offscreen platform leaves its screen behind when
    // the application is destroyed at exit.
    static QGuiApplication *app = new QGuiApplication(*argc, *argv);
    Q_UNUSED(app);
    // libobs without video: settings records and the board's locking only.
    if (!obs_startup("en-US", nullptr, nullptr)) {
        std::fprintf(stderr, "fuzz_board: libobs did not start\n");
        std::abort();
    }
    // From here on the board's diagnostic lines would only slow the fuzzer.
    base_set_log_handler(dropLine, nullptr);
    qInstallMessageHandler(dropQtMessage);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string json(reinterpret_cast<const char *>(data), size);
    obs_data_t *record = obs_data_create_from_json(json.c_str());
    if (!record)
        return 0;
    {
        KPWhiteBoardObject board(nullptr);
        board.updateWithSettings(record);
        // Canvas sizes are covered by the tests; a small canvas keeps each run fast.
        board.setSize(320, 180);
        board.load(record);
        tick(board);
        obs_data_t *status = obs_data_create();
        board.setStatusData(status);
        obs_data_release(status);
        for (int command : {1, 2, 3, 1})
        {
            board.do_custom_callback(command, nullptr);
            tick(board);
        }
        board.setActive(false);
        board.setActive(true);
        tick(board);
        obs_data_t *saved = obs_data_create();
        board.save(saved);
        obs_data_get_json(saved);
        obs_data_release(saved);
    }
    obs_data_release(record);
    return 0;
}
