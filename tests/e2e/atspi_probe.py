#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads and drives the running game through the desktop's accessibility bus (AT-SPI), the
way a screen reader does. One command per run; the answer is one line of JSON.

  board              the board frame's name, then per cell its name, its description and its
                     tile (name, role, description, actions, top-left corner on the screen);
                     roles by their AT-SPI constant ("ROLE_PUSH_BUTTON"), which no library
                     renames, unlike the role's text
  press NAME...      the Press action of each tile named, one after the other
  menu NAME          the action of the menu item named NAME (without its access-key "&")
  status CAPTION     the text that follows CAPTION in the window's status bar ("Ход:" -> "12")
  listen SECONDS     the name and description changes announced meanwhile
"""
import json
import sys
import time

import pyatspi


MENU_ITEMS = (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM, pyatspi.ROLE_RADIO_MENU_ITEM)


def find_app():
    for _ in range(50):  # the game may still be registering with the bus
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "sdvigul":
                return app
        time.sleep(0.1)
    raise SystemExit(json.dumps({"error": "the game is not on the accessibility bus"}))


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find(root, predicate):
    return next((node for node in walk(root) if predicate(node)), None)


def role(node):
    value = node.getRole()
    return next((name for name in dir(pyatspi)
                 if name.startswith("ROLE_") and getattr(pyatspi, name) == value), str(value))


def actions(node):
    action = node.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def do_first_action(node):
    return node is not None and node.queryAction().doAction(0)


def tile_of(cell):
    for tile in cell:
        box = tile.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return {"name": tile.name, "role": role(tile), "description": tile.description,
                "actions": actions(tile), "x": box.x, "y": box.y}
    return None


def board(app):
    frame = find(app, lambda n: n.name == "Игровое поле")
    if frame is None:
        return {"error": "no board frame"}
    return {"frame": role(frame),
            "cells": [{"name": cell.name, "description": cell.description,
                       "actions": actions(cell), "tile": tile_of(cell)} for cell in frame]}


def status(app, caption):
    bar = find(app, lambda n: n.getRole() == pyatspi.ROLE_STATUS_BAR)
    if bar is None:
        return {"error": "no status bar"}
    texts = [item.name for item in bar]
    if caption not in texts[:-1]:
        return {"error": "no %r in the status bar %r" % (caption, texts)}
    return {"value": texts[texts.index(caption) + 1]}


def listen(seconds):
    from gi.repository import GLib

    heard = []
    pyatspi.Registry.registerEventListener(
        lambda event: heard.append({"type": event.type, "name": event.source.name}),
        "object:property-change:accessible-name",
        "object:property-change:accessible-description")
    print(json.dumps({"listening": True}), flush=True)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    return {"heard": heard}


def press(app, names):
    tiles = {n.name: n for n in walk(app) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
             and n.parent.getRole() == pyatspi.ROLE_TABLE_CELL}
    return {"done": all(do_first_action(tiles.get(name)) for name in names)}


def main(command, argument=None, *more):
    if command == "listen":
        return listen(float(argument))
    app = find_app()
    if command == "board":
        return board(app)
    if command == "press":
        return press(app, [argument, *more])
    if command == "menu":
        return {"done": do_first_action(find(
            app, lambda n: n.getRole() in MENU_ITEMS and n.name == argument))}
    if command == "status":
        return status(app, argument)
    raise SystemExit(__doc__)


if __name__ == "__main__":
    print(json.dumps(main(*sys.argv[1:]), ensure_ascii=False))
