#!/usr/bin/python3
# A GTK 3 window with a one-line entry (full: it takes no more characters) and a multi-line text
# view holding known text, for the end-to-end tests.
# Usage: gtk_text_target.py TITLE STATE_FILE [SECOND_TITLE]
# Every change of the text view's text is written to STATE_FILE (UTF-8, replaced atomically), so
# the tests can check a write without going through the accessibility bus they are testing. With
# SECOND_TITLE, a second such window of the same process writes its text to STATE_FILE.second.
# While a file named "refuse-writes" sits beside STATE_FILE, the text views refuse to take a text
# holding REFUSED_MARK other than by a paste: a write over the accessibility bus deletes the
# selection and then fails to insert. While a file named "slow-paste" sits there, a paste reads
# the clipboard only PASTE_DELAY_MS after its keystroke, as a loaded application would.
import os
import sys

import gi

gi.require_version("Gdk", "3.0")
gi.require_version("Gtk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402

ENTRY_TEXT = "Entrada: um dois três"
VIEW_TEXT = "Olá café 😀 naïve text here.\nSegunda linha com a palavra ALVO aqui."
REFUSED_MARK = "👍"
PASTE_DELAY_MS = 1000


class WriteRefusal:
    def __init__(self, flag_path, slow_path):
        self.flag_path = flag_path
        self.slow_path = slow_path
        self.pasting = False
        self.delayed = False

    def on_paste(self, view):
        if os.path.exists(self.slow_path) and not self.delayed:
            view.stop_emission_by_name("paste-clipboard")
            GLib.timeout_add(PASTE_DELAY_MS, self.paste_late, view)
            return
        self.delayed = False
        self.pasting = True

    def paste_late(self, view):
        self.delayed = True
        view.emit("paste-clipboard")
        return False

    def on_insert(self, buffer, _location, text, _length):
        if self.pasting:
            self.pasting = False
            return
        if REFUSED_MARK in text and os.path.exists(self.flag_path):
            buffer.stop_emission_by_name("insert-text")


def save_state(buffer, path):
    start, end = buffer.get_bounds()
    temporary = path + ".tmp"
    with open(temporary, "w", encoding="utf-8") as out:
        out.write(buffer.get_text(start, end, True))
    os.replace(temporary, path)


def text_window(title, state_path, y):
    window = Gtk.Window(title=title)
    window.set_default_size(520, 320)
    window.move(80, y)
    box = Gtk.Box(orientation=Gtk.Orientation.VERTICAL, spacing=6)
    entry = Gtk.Entry()
    entry.set_text(ENTRY_TEXT)
    # A full field: a longer text written over a selection cannot all go in.
    entry.set_max_length(len(ENTRY_TEXT))
    view = Gtk.TextView()
    view.get_buffer().set_text(VIEW_TEXT)
    view.get_buffer().connect("changed", save_state, state_path)
    folder = os.path.dirname(state_path)
    refusal = WriteRefusal(os.path.join(folder, "refuse-writes"), os.path.join(folder, "slow-paste"))
    view.connect("paste-clipboard", refusal.on_paste)
    view.get_buffer().connect("insert-text", refusal.on_insert)
    box.pack_start(entry, False, False, 0)
    box.pack_start(view, True, True, 0)
    window.add(box)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    view.grab_focus()
    save_state(view.get_buffer(), state_path)
    # Kept alive with the window.
    window.refusal = refusal


def main():
    title, state_path = sys.argv[1], sys.argv[2]
    GLib.set_prgname("ovra-gtk-target")
    Gdk.set_program_class("Ovra-gtk-target")
    if len(sys.argv) > 3:
        text_window(sys.argv[3], state_path + ".second", 480)
    text_window(title, state_path, 100)
    Gtk.main()


if __name__ == "__main__":
    main()
