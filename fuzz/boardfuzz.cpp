// libFuzzer target: the input is read as a saved whiteboard record (the JSON
// of a source's settings), loaded into a board, ticked and painted with its
// text boxes, worked on with the presenter tools (eraser, laser pointer,
// spotlight) as the input's bytes pick, put through the history commands and
// saved again.

#include "kpwhiteboarditemobject.h"
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

// The tool keeps the record's size and colour; each step is chosen by a byte
// of the input, its point by the next two.
void pointerSteps(KPWhiteBoardObject &board, const uint8_t *data, size_t size)
{
    KPWB::ItemProperty tool;
    tool.size = board.currentItem() ? board.currentItem()->itemProperty.size : 20;
    for (size_t i = 0; i + 2 < size && i < 96; i += 3) {
        const obs_mouse_event at = {0, int(data[i + 1]) * 2 - 100, int(data[i + 2]) - 40};
        switch (data[i] % 7) {
        case 0:
        case 1:
        case 2:
            tool.type = KPWB::DRAW_ITEM_TYPE_ERASER + data[i] % 7;
            board.setCurrentItemProperty(tool);
            break;
        case 3: board.do_mouse_click(&at, 0, data[i] & 8, 1); break;
        case 4: board.do_mouse_move(&at, data[i] & 8); break;
        case 5: board.advanceClock(data[i] / 200.0); tick(board); break;
        default: board.do_custom_callback(1 + data[i] % 3, nullptr); break;
        }
    }
    tick(board);
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
        pointerSteps(board, data, size);
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
