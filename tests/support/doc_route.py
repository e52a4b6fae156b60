#!/usr/bin/env python3
"""Prints the commands a page of the manual shows for a route: the fenced
block marked <!-- route: NAME --> in PAGE, exactly as written, so that a test
runs what a reader pastes.

Usage: doc_route.py PAGE NAME
"""
import re
import sys

page, name = sys.argv[1:]
with open(page, encoding="utf-8") as f:
    blocks = re.findall(rf"<!-- route: {re.escape(name)} -->\n```\w*\n(.*?)```", f.read(), re.S)
if len(blocks) != 1:
    sys.exit(f"doc_route: {page} has {len(blocks)} blocks for the route '{name}', not one")
sys.stdout.write(blocks[0])
