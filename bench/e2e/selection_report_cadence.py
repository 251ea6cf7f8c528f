#!/usr/bin/python3
# How an application reports its selection on the accessibility bus while the user selects:
# for each gesture (a double-click, a triple-click, drags at three speeds, Shift+Right, Ctrl+A),
# the reports' times from the gesture's start, the gaps between them, and how long after the
# gesture's end the last one came. Where the desktop passes on no input (Wayland), these reports
# are all the program has to tell a gesture's end, so its waits are chosen from these figures.
# Printed, never asserted. Run inside an X11 test session (xdotool drives the pointer), e.g.
#   tests/e2e/run-headless.sh -- bench/e2e/selection_report_cadence.py kwrite
#   tests/e2e/run-headless.sh -- bench/e2e/selection_report_cadence.py gnome-text-editor
# The application is started with a fresh document holding a known text, and closed at the end.
import os
import subprocess
import sys
import tempfile
import threading
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

TEXT = (
    "Primeira linha com algumas palavras para selecionar aqui.\n"
    "Segunda linha com a palavra ALVO e mais texto depois dela.\n"
    "Terceira linha, o fim do documento.\n"
)
REPEATS = 5


def xdotool(*args):
    subprocess.run(["xdotool", *map(str, args)], check=True)


def find_text(pid, deadline):
    desktop = Atspi.get_desktop(0)
    while time.monotonic() < deadline:
        for i in range(desktop.get_child_count()):
            app = desktop.get_child_at_index(i)
            if app is None or app.get_process_id() != pid:
                continue
            found = search(app, 0)
            if found is not None:
                return found
        time.sleep(0.2)
    return None


def search(node, depth):
    if depth > 40:
        return None
    try:
        if node.get_role() in (Atspi.Role.TEXT, Atspi.Role.DOCUMENT_TEXT, Atspi.Role.PARAGRAPH):
            if "ALVO" in Atspi.Text.get_text(node, 0, -1):
                return node
        for i in range(node.get_child_count()):
            found = search(node.get_child_at_index(i), depth + 1)
            if found is not None:
                return found
    except GLib.Error:
        pass
    return None


def point_of(text, offset):
    try:
        box = Atspi.Text.get_character_extents(text, offset, Atspi.CoordType.SCREEN)
        origin = (0, 0)
    except GLib.Error:  # GTK 4 places text in its window only
        box = Atspi.Text.get_character_extents(text, offset, Atspi.CoordType.WINDOW)
        origin = window_origin()
    return origin[0] + box.x + 1, origin[1] + box.y + box.height // 2


def window_origin():
    shown = subprocess.run(["xdotool", "getactivewindow", "getwindowgeometry", "--shell"],
                           check=True, capture_output=True, text=True).stdout
    values = dict(line.split("=", 1) for line in shown.split())
    return int(values["X"]), int(values["Y"])


class Recorder:
    def __init__(self, pid):
        self.pid = pid
        self.times = []
        self.lock = threading.Lock()
        self.listener = Atspi.EventListener.new(self.heard)
        self.listener.register("object:text-selection-changed")

    def heard(self, event):
        try:
            pid = event.source.get_process_id()
        except GLib.Error:
            return
        if pid != self.pid:
            return
        with self.lock:
            self.times.append(time.monotonic())

    def take(self):
        with self.lock:
            taken, self.times = self.times, []
        return taken


def drag(start, end, steps, step_ms):
    xdotool("mousemove", *start)
    xdotool("mousedown", 1)
    for i in range(1, steps + 1):
        x = start[0] + (end[0] - start[0]) * i // steps
        y = start[1] + (end[1] - start[1]) * i // steps
        time.sleep(step_ms / 1000)
        xdotool("mousemove", x, y)
    time.sleep(0.03)
    xdotool("mouseup", 1)


def gestures(text, body):
    # Every place is read here, before the pointer moves: the accessibility calls stay on the
    # thread that hears the events.
    word = body.index("ALVO")
    line2 = body.index("Segunda")
    in_word, word_start = point_of(text, word + 1), point_of(text, word)
    line2_end = body.find("\n", line2) % (len(body) + 1)  # the text's end when no line follows
    near, far = point_of(text, line2), point_of(text, line2_end - 5)

    def click_then(*keys):
        xdotool("mousemove", *word_start)
        xdotool("click", 1)
        time.sleep(0.4)
        xdotool("key", "--delay", 150, *keys)  # xdotool takes twice the delay per chord

    return [
        ("double-click", lambda: (xdotool("mousemove", *in_word),
                                  xdotool("click", "--repeat", 2, "--delay", 90, 1))),
        ("triple-click", lambda: (xdotool("mousemove", *in_word),
                                  xdotool("click", "--repeat", 3, "--delay", 90, 1))),
        ("fast drag (10 ms a step)", lambda: drag(near, far, 20, 10)),
        ("steady drag (30 ms a step)", lambda: drag(near, far, 25, 30)),
        ("slow drag (120 ms a step)", lambda: drag(near, far, 12, 120)),
        ("Shift+Right", lambda: click_then("shift+Right")),
        ("Shift+Right ×5, 300 ms apart", lambda: click_then(*["shift+Right"] * 5)),
        ("Ctrl+A", lambda: xdotool("key", "ctrl+a")),
    ]


def clear(place):
    xdotool("mousemove", *place)
    xdotool("click", 1)


def run(command):
    if len(command) == 1:  # an editor: it opens a document holding the known text
        path = os.path.join(tempfile.mkdtemp(prefix="ovra-cadence-"), "cadence.txt")
        with open(path, "w", encoding="utf-8") as f:
            f.write(TEXT)
        command = [*command, path]
    app = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        text_node = find_text(app.pid, time.monotonic() + 30)
        if text_node is None:
            print("no text with the known words from", command[0])
            return 1
        text = text_node
        body = Atspi.Text.get_text(text, 0, -1)
        recorder = Recorder(app.pid)
        results = []
        planned = gestures(text, body)
        empty_place = point_of(text, len(body) - 3)

        def drive():
            time.sleep(1)
            for name, gesture in planned:
                for _ in range(REPEATS):
                    clear(empty_place)
                    time.sleep(0.8)
                    recorder.take()
                    start = time.monotonic()
                    gesture()
                    end = time.monotonic()
                    time.sleep(1.0)
                    results.append((name, start, end, recorder.take()))
            GLib.idle_add(Atspi.event_quit)

        threading.Thread(target=drive, daemon=True).start()
        Atspi.event_main()
        report(command, results)
        return 0
    finally:
        app.terminate()
        app.wait(5)


def report(command, results):
    print(f"# {command[0]}: selection reports per gesture ({REPEATS} runs each; ms)")
    for name, start, end, times in results:
        offsets = [round((t - start) * 1000) for t in times]
        gaps = [round((b - a) * 1000) for a, b in zip(times, times[1:])]
        after_end = round((times[-1] - end) * 1000) if times else None
        print(f"{name:32} gesture {round((end - start) * 1000):5} | reports {len(times):3} |"
              f" largest gap {max(gaps) if gaps else '-':>5} | last after end {after_end!s:>5} |"
              f" at {offsets[:12]}{'…' if len(offsets) > 12 else ''}")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        print(f"usage: {sys.argv[0]} EDITOR | APPLICATION ARGUMENTS...", file=sys.stderr)
        sys.exit(2)
    sys.exit(run(sys.argv[1:]))
