#!/usr/bin/env python3
"""Stands in for what headless mutter lacks beside a GNOME session, for the idle watcher's tests:
keys through mutter's remote-desktop interface (mutter has no virtual keyboard protocol), and the
session manager's idle inhibition (gnome-session does not run here), told by lines on stdin:
"key", "inhibit on", "inhibit off". Prints "ready" once both are in place."""
import os

from gi.repository import Gio, GLib

SESSION_XML = """<node><interface name="org.gnome.SessionManager">
  <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
  <signal name="InhibitorRemoved"><arg type="o"/></signal>
</interface></node>"""
IDLE = 8
SHIFT_L = 42  # the evdev code of the left Shift key

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
inhibited = False


def on_call(connection, sender, path, interface, method, args, invocation):
    flags = args.unpack()[0]
    invocation.return_value(GLib.Variant("(b)", (inhibited and bool(flags & IDLE),)))


node = Gio.DBusNodeInfo.new_for_xml(SESSION_XML)
bus.register_object("/org/gnome/SessionManager", node.interfaces[0], on_call)
Gio.bus_own_name_on_connection(bus, "org.gnome.SessionManager", Gio.BusNameOwnerFlags.NONE)


def remote(path, interface, method, args=None):
    return bus.call_sync("org.gnome.Mutter.RemoteDesktop", path, interface, method, args, None,
                         Gio.DBusCallFlags.NONE, 5000)


session = remote("/org/gnome/Mutter/RemoteDesktop", "org.gnome.Mutter.RemoteDesktop",
                 "CreateSession").unpack()[0]
remote(session, "org.gnome.Mutter.RemoteDesktop.Session", "Start")


def on_lines(channel, condition):
    for line in os.read(0, 4096).decode().splitlines():
        do(line.strip())
    return True


def do(line):
    global inhibited
    if line == "key":
        # Not waited for: while a full-screen window is up, headless mutter answers these late.
        for pressed in (True, False):
            bus.call("org.gnome.Mutter.RemoteDesktop", session, "org.gnome.Mutter.RemoteDesktop.Session",
                     "NotifyKeyboardKeycode", GLib.Variant("(ub)", (SHIFT_L, pressed)), None,
                     Gio.DBusCallFlags.NONE, -1, None, None, None)
    elif line in ("inhibit on", "inhibit off"):
        inhibited = line == "inhibit on"
        if not inhibited:
            bus.emit_signal(None, "/org/gnome/SessionManager", "org.gnome.SessionManager",
                            "InhibitorRemoved", GLib.Variant("(o)", ("/org/gnome/SessionManager/Inhibitor1",)))
    print("done", line, flush=True)


GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT, GLib.IO_IN, on_lines)
print("ready", flush=True)
GLib.MainLoop().run()
