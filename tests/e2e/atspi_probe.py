#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Reads and drives the running game through the desktop's accessibility bus (AT-SPI), the
way a screen reader does. One command per run; the answer is printed as JSON.

  board                 the board frame, its cells and tiles: names, descriptions, places
  press NAME            the Press action of the tile named NAME
  menu NAME             the action of the menu item named NAME (no access-key ampersand)
  status CAPTION        the value label that CAPTION labels, e.g. "Ход:"
  chooser               the tile-back chooser: its name and its pictures' names and states
  chooser-press NAME    the first action of a chooser control named NAME (Press, Toggle)
  listen SECONDS        the name and description changes announced meanwhile
"""
import json
import sys
import time

import pyatspi

APP_NAME = "sdvigul"


def find_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for app in desktop:
        if app is not None and app.name == APP_NAME:
            return app
    return None


def walk(node):
    yield node
    for child in node:
        if child is not None:
            yield from walk(child)


def find(root, predicate):
    for node in walk(root):
        if predicate(node):
            return node
    return None


def role(node):
    return node.getRoleName()


def do_action(node, name):
    action = node.queryAction()
    for i in range(action.nActions):
        if action.getName(i) == name:
            return action.doAction(i)
    raise SystemExit("no action %r on %r" % (name, node.name))


def extents(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    return [box.x, box.y, box.width, box.height]


def board(app):
    frame = find(app, lambda n: n.name == "Игровое поле")
    if frame is None:
        return {"error": "no board frame"}
    cells = []
    for cell in frame:
        entry = {"name": cell.name, "role": role(cell), "description": cell.description,
                 "actions": cell.queryAction().nActions, "tiles": []}
        for tile in cell:
            action = tile.queryAction()
            entry["tiles"].append({
                "name": tile.name, "role": role(tile), "description": tile.description,
                "actions": [action.getName(i) for i in range(action.nActions)],
                "extents": extents(tile),
                "showing": tile.getState().contains(pyatspi.STATE_SHOWING)})
        cells.append(entry)
    return {"frame": frame.name, "frame_role": role(frame), "cells": cells}


def status(app, caption):
    for node in walk(app):
        if role(node) != "label":
            continue
        relations = node.getRelationSet()
        if any(r.getRelationType() == pyatspi.RELATION_LABEL_FOR for r in relations):
            continue  # the caption itself
        for relation in relations:
            if relation.getRelationType() != pyatspi.RELATION_LABELLED_BY:
                continue
            labels = [relation.getTarget(i).name for i in range(relation.getNTargets())]
            if caption in labels:
                return {"caption": caption, "value": node.name}
    return {"error": "no value labelled by %r" % caption}


def listen(seconds):
    from gi.repository import GLib

    heard = []

    def on_event(event):
        source = event.source
        heard.append({"type": event.type, "name": source.name, "role": role(source)})

    kinds = ["object:property-change:accessible-name",
             "object:property-change:accessible-description"]
    pyatspi.Registry.registerEventListener(on_event, *kinds)
    print(json.dumps({"listening": True}), flush=True)
    GLib.timeout_add(int(seconds * 1000), lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    return {"heard": heard}


def chooser(app):
    dialog = find(app, lambda n: role(n) == "dialog")
    if dialog is None:
        return {"error": "no dialog"}
    pictures = []
    for node in walk(dialog):
        if role(node) == "list item" and node.name.startswith("Рубашка "):
            state = node.getState()
            pictures.append({"name": node.name, "role": role(node),
                             "selected": state.contains(pyatspi.STATE_SELECTED)})
    return {"name": dialog.name, "pictures": pictures}


def main(argv):
    app = None
    for _ in range(50):  # the game may still be registering with the bus
        app = find_app()
        if app is not None:
            break
        time.sleep(0.1)
    if app is None:
        print(json.dumps({"error": "the game is not on the accessibility bus"}))
        return 1
    command = argv[1] if len(argv) > 1 else "board"
    if command == "board":
        answer = board(app)
    elif command == "press":
        tile = find(app, lambda n: role(n) == "push button" and n.name == argv[2]
                    and role(n.parent) == "table cell")
        answer = {"pressed": bool(tile) and do_action(tile, "Press")}
    elif command == "menu":
        item = find(app, lambda n: role(n).endswith("menu item") and n.name == argv[2])
        answer = {"done": bool(item) and do_action(item, item.queryAction().getName(0))}
    elif command == "status":
        answer = status(app, argv[2])
    elif command == "chooser":
        answer = chooser(app)
    elif command == "chooser-press":
        dialog = find(app, lambda n: role(n) == "dialog")
        node = dialog and find(dialog, lambda n: n.name == argv[2])
        answer = {"pressed": bool(node) and do_action(node, node.queryAction().getName(0))}
    elif command == "listen":
        answer = listen(float(argv[2]))
    else:
        raise SystemExit(__doc__)
    print(json.dumps(answer, ensure_ascii=False))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
