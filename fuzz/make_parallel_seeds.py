#!/usr/bin/env python3
"""Seeds of the lh5_parallel fuzz target: random recipes of 80 to 476 bytes (fixed seed)."""
import pathlib
import random

folder = pathlib.Path(__file__).resolve().parent / "corpus" / "lh5_parallel"
folder.mkdir(parents=True, exist_ok=True)
random.seed(1)
for n in range(6):
    recipe = bytes(random.randrange(256) for _ in range(4 * random.randrange(20, 120)))
    (folder / f"seed{n}").write_bytes(recipe)
