#!/usr/bin/env python3
"""A user's hands and eyes on a headless GNOME Shell (or bare mutter), told by lines on stdin:
  key CODE         an evdev key code, pressed and released, through mutter's remote-desktop interface
  move DX DY       the pointer moved by that many pixels, the same way
  shot FILE        a screenshot of every monitor into FILE, from the shell's screenshot interface
  inhibit on|off   the session manager's idle inhibition (gnome-session does not run here)
Prints "ready" once all of it is in place and "done LINE" once each command has been carried out.

The shell answers screenshots only to a caller that owns one of a few bus names, the screenshot
tool's among them; this helper owns that name. The remote-desktop keyboard joins the seat at its
first event, so one session serves the whole test."""
import os
import sys

from gi.repository import Gio, GLib

SESSION_XML = """<node><interface name="org.gnome.SessionManager">
  <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
  <signal name="InhibitorRemoved"><arg type="o"/></signal>
</interface></node>"""
IDLE = 8
REMOTE = "org.gnome.Mutter.RemoteDesktop"
SESSION = REMOTE + ".Session"

bus = Gio.bus_get_sync(Gio.BusType.SESSION)
inhibited = False
names = {"org.gnome.SessionManager": False, "org.gnome.Screenshot": False}


def on_call(connection, sender, path, interface, method, args, invocation):
    if method != "IsInhibited":
        invocation.return_dbus_error("org.freedesktop.DBus.Error.UnknownMethod", method)
        return
    flags = args.unpack()[0]
    invocation.return_value(GLib.Variant("(b)", (inhibited and bool(flags & IDLE),)))


def say(*words):
    print(*words, flush=True)


def on_name(connection, name):
    names[name] = True
    if all(names.values()):
        say("ready")


session = None
shell = {REMOTE: False, "org.gnome.Shell.Screenshot": False}


def on_shell_name(connection, name, owner):
    # Started beside the shell, which takes a few seconds to offer its interfaces.
    global session
    shell[name] = True
    if not all(shell.values()) or session is not None:
        return
    session = bus.call_sync(REMOTE, "/org/gnome/Mutter/RemoteDesktop", REMOTE, "CreateSession", None, None,
                            Gio.DBusCallFlags.NONE, 5000, None).unpack()[0]
    bus.call_sync(REMOTE, session, SESSION, "Start", None, None, Gio.DBusCallFlags.NONE, 5000, None)
    for wanted in names:
        Gio.bus_own_name_on_connection(bus, wanted, Gio.BusNameOwnerFlags.NONE, on_name, None)


node = Gio.DBusNodeInfo.new_for_xml(SESSION_XML)
bus.register_object("/org/gnome/SessionManager", node.interfaces[0], on_call)
for wanted in shell:
    Gio.bus_watch_name_on_connection(bus, wanted, Gio.BusNameWatcherFlags.NONE, on_shell_name, None)


def call(name, path, interface, method, args, then):
    # Never waited for in place: while a full-screen window maps, the compositor answers late, and
    # the next command must not wait behind it.
    def finished(connection, result):
        try:
            reply = connection.call_finish(result)
        except GLib.Error as error:
            say("error", method, error.message)
            reply = None
        then(reply)

    bus.call(name, path, interface, method, args, None, Gio.DBusCallFlags.NONE, 10000, None, finished)


def do(line):
    global inhibited
    words = line.split()
    done = lambda reply=None: say("done", line)
    if words[:1] == ["key"] and len(words) == 2:
        code = int(words[1])
        press = GLib.Variant("(ub)", (code, True))
        release = GLib.Variant("(ub)", (code, False))
        call(REMOTE, session, SESSION, "NotifyKeyboardKeycode", press,
             lambda _: call(REMOTE, session, SESSION, "NotifyKeyboardKeycode", release, done))
    elif words[:1] == ["move"] and len(words) == 3:
        call(REMOTE, session, SESSION, "NotifyPointerMotionRelative",
             GLib.Variant("(dd)", (float(words[1]), float(words[2]))), done)
    elif words[:1] == ["shot"] and len(words) == 2:
        call("org.gnome.Shell.Screenshot", "/org/gnome/Shell/Screenshot", "org.gnome.Shell.Screenshot",
             "Screenshot", GLib.Variant("(bbs)", (False, False, words[1])), done)
    elif line in ("inhibit on", "inhibit off"):
        inhibited = line == "inhibit on"
        if not inhibited:
            bus.emit_signal(None, "/org/gnome/SessionManager", "org.gnome.SessionManager", "InhibitorRemoved",
                            GLib.Variant("(o)", ("/org/gnome/SessionManager/Inhibitor1",)))
        done()
    else:
        say("unknown", line)


pending = b""


def on_lines(channel, condition):
    global pending
    chunk = os.read(0, 4096)
    if not chunk:
        sys.exit(0)
    pending += chunk
    *lines, pending = pending.split(b"\n")
    for line in lines:
        if line.strip():
            do(line.decode().strip())
    return True


GLib.io_add_watch(GLib.IOChannel.unix_new(0), GLib.PRIORITY_DEFAULT, GLib.IO_IN | GLib.IO_HUP, on_lines)
GLib.MainLoop().run()
