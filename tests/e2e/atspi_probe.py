#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads and drives the running game through the desktop's accessibility bus (AT-SPI), the
way a screen reader does. One command per run; the answer is one line of JSON.

  board              the board frame's name, then per cell its name, its description and its
                     tile (name, role, description, actions, top-left corner on the screen)
  press NAME         the Press action of the tile named NAME
  menu NAME          the action of the menu item named NAME (without its access-key "&")
  status CAPTION     the name of the label that CAPTION labels ("Ход:" -> "12")
  listen SECONDS     the name and description changes announced meanwhile
"""
import json
import sys
import time

import pyatspi


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


def actions(node):
    action = node.queryAction()
    return [action.getName(i) for i in range(action.nActions)]


def do_first_action(node):
    return node is not None and node.queryAction().doAction(0)


def tile_of(cell):
    for tile in cell:
        box = tile.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return {"name": tile.name, "role": tile.getRoleName(), "description": tile.description,
                "actions": actions(tile), "x": box.x, "y": box.y}
    return None


def board(app):
    frame = find(app, lambda n: n.name == "Игровое поле")
    if frame is None:
        return {"error": "no board frame"}
    return {"frame": frame.getRoleName(),
            "cells": [{"name": cell.name, "description": cell.description,
                       "actions": actions(cell), "tile": tile_of(cell)} for cell in frame]}


def status(app, caption):
    for node in walk(app):
        relations = {r.getRelationType(): [r.getTarget(i).name for i in range(r.getNTargets())]
                     for r in node.getRelationSet()}
        if caption in relations.get(pyatspi.RELATION_LABELLED_BY, []) \
                and pyatspi.RELATION_LABEL_FOR not in relations:
            return {"value": node.name}
    return {"error": "no value labelled by %r" % caption}


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


def main(command, argument=None):
    if command == "listen":
        return listen(float(argument))
    app = find_app()
    if command == "board":
        return board(app)
    if command == "press":
        return {"done": do_first_action(find(
            app, lambda n: n.getRoleName() == "push button" and n.name == argument
            and n.parent.getRoleName() == "table cell"))}
    if command == "menu":
        return {"done": do_first_action(find(
            app, lambda n: n.getRoleName().endswith("menu item") and n.name == argument))}
    if command == "status":
        return status(app, argument)
    raise SystemExit(__doc__)


if __name__ == "__main__":
    print(json.dumps(main(*sys.argv[1:3]), ensure_ascii=False))
