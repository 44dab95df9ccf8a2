#!/usr/bin/env python3
"""Timed kp-host runs over huge input: a stroke of a million points of each
stroke kind, loaded, rendered, hidden, shown and rendered again; a
million-character line of text at size 1000; and 100 KB typed on one line.

    bench/hugeinput.py KP_HOST [PLUGIN ...]

Each case is played once per plug-in module given (default: the one kp-host
finds itself), under the current X display; prints wall time and peak memory
per case and plug-in, so that two builds compare in one run.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

POINTS = 1_000_000


def stroke_record(kind):
    prop = {"kp_wb_draw_type": kind, "kp_wb_draw_color": 4278190335, "kp_wb_draw_size": 3}
    record = {"kp_wb_data_itemProperty": prop}
    coords = [((i * 7) % 1200 + 20, (i // 171) % 680 + 20) for i in range(POINTS)]
    if kind == 6 and os.environ.get("PRESSURE", "1") == "1":
        record["kp_wb_pressure_points"] = [
            {"kp_wb_pressure_points_x": float(x), "kp_wb_pressure_points_y": float(y),
             "kp_wb_pressure_points_pressure": 0.5} for x, y in coords]
    else:
        record["kp_wb_data_points"] = [
            {"kp_wb_data_points_x": x, "kp_wb_data_points_y": y} for x, y in coords]
    return record


def text_record():
    prop = {"kp_wb_draw_type": 7, "kp_wb_draw_color": 4278190335, "kp_wb_draw_size": 20}
    text = {"kp_wb_text_x": 10, "kp_wb_text_y": 10, "kp_wb_text": "m" * POINTS,
            "kp_wb_text_font_size": 1000}
    return {"kp_wb_data_itemProperty": prop, "kp_wb_data_textData": text}


def saved(record):
    return {"kp_wb_width": 1280, "kp_wb_height": 720, "kp_wb_background": 4294967295,
            "kp_wb_data": {"kp_wb_data_datas": [record]}}


def load_script(frames):
    steps = [{"do": "load", "name": "wb", "type": "kp_source_whiteboard", "from": "saved.json"},
             {"do": "render", "name": "wb", "out": "a.png"},
             {"do": "hide", "name": "wb"}, {"do": "show", "name": "wb"},
             {"do": "render", "name": "wb", "out": "b.png"}]
    if frames:
        steps.append({"do": "frames", "count": frames})
    return {"steps": steps}


def typing_script():
    return {"steps": [
        {"do": "create", "name": "wb", "type": "kp_source_whiteboard",
         "settings": {"kp_wb_width": 1280, "kp_wb_height": 720, "kp_wb_draw_type": 7}},
        {"do": "mouse", "name": "wb", "action": "down", "x": 20, "y": 40},
        {"do": "mouse", "name": "wb", "action": "up", "x": 20, "y": 40},
        {"do": "type", "name": "wb", "text": "m" * 100_000},
        {"do": "render", "name": "wb", "out": "a.png"}]}


CASES = {
    "freehand stroke": lambda: (load_script(0), saved(stroke_record(6))),
    "highlighter stroke": lambda: (load_script(0), saved(stroke_record(8))),
    "pressure stroke": lambda: (load_script(0), saved(stroke_record(6))),
    "1M-character line": lambda: (load_script(60), saved(text_record())),
    "typing 100 KB": lambda: (typing_script(), None),
}


def play(host, plugin, folder):
    args = [host, "play", os.path.join(folder, "script.json"), "--out", folder]
    if plugin:
        args += ["--plugin", plugin]
    start = time.monotonic()
    with open(os.path.join(folder, "stderr.txt"), "w+") as errors:
        child = subprocess.Popen(args, stdout=subprocess.DEVNULL, stderr=errors)
        _, code, usage = os.wait4(child.pid, 0)
        child.returncode = os.waitstatus_to_exitcode(code)
        seconds = time.monotonic() - start
        errors.seek(0)
        message = errors.read().strip()[-200:]
    peak = usage.ru_maxrss / 1024.0
    status = "ok" if child.returncode == 0 else "exit %d: %s" % (child.returncode, message)
    return seconds, peak, status


def main():
    host = sys.argv[1]
    plugins = sys.argv[2:] or [None]
    for name, make in CASES.items():
        if name == "freehand stroke":
            os.environ["PRESSURE"] = "0"
        elif name == "pressure stroke":
            os.environ["PRESSURE"] = "1"
        script, content = make()
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "script.json"), "w") as out:
                json.dump(script, out)
            if content is not None:
                with open(os.path.join(folder, "saved.json"), "w") as out:
                    json.dump(content, out)
            for plugin in plugins:
                seconds, peak, status = play(host, plugin, folder)
                print("%-20s %-40s %8.2f s  peak %7.0f MB  %s" % (name, plugin or "(default)", seconds, peak, status),
                      flush=True)


if __name__ == "__main__":
    main()
