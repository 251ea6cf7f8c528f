"""Presses "Add" in GNOME's dialog that asks to approve an application's global shortcuts, and
prints the shortcuts it offered."""
import gi
gi.require_version('Atspi', '2.0')
from gi.repository import Atspi  # noqa: E402


def nodes(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.get_child_count()):
        yield from nodes(node.get_child_at_index(i), depth + 1)


desktop = Atspi.get_desktop(0)
for i in range(desktop.get_child_count()):
    app = desktop.get_child_at_index(i)
    if 'global-shortcuts' not in (app.get_name() or ''):
        continue
    for node in nodes(app):
        if node.get_role_name() == 'label':
            print('offered:', node.get_name())
        if node.get_role_name() == 'button' and node.get_name() == 'Add':
            print('approved:', node.get_action_iface().do_action(0))
