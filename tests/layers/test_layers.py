"""The layering check: the tree as it is passes; a planted include that runs
up a layer or past the core fails, naming the file and the include, in
quotes or in angle brackets. (The compiler's side: layers_compile.)"""
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CHECK = ROOT / "scripts" / "check_layers.py"

# (file to plant into, include as written, what the message must say)
PLANTED = [
    ("tool/main.cpp", '"standin/call.h"', "tool (layer 5) may not include standin (layer 3)"),
    ("tool/main.cpp", "<standin/call.h>", "tool (layer 5) may not include standin (layer 3)"),
    ("kit/cvhost.cpp", '"host/host_toolkit.h"', "kit (layer 4) may not include host (layer 0)"),
    ("r/ljungcv/src/ljungcv.cpp", "<core/ljungcv.h>", "r (layer 5) may not include core (layer 4)"),
    ("examples/ljungcv_values.cpp", "<standin/module.h>", "examples (layer 5) may not include standin (layer 3)"),
    ("core/src/grid.cpp", '"tool/commands.h"', "core (layer 4) may not include tool (layer 5)"),
    ("cv/ljung_critical_value.cpp", '"module/ljungcv_eval.h"', "cv (layer 1) may not include module (layer 2)"),
    ("numeric/normal_quantile.cpp", '"cv/critical_value.h"', "numeric (layer 1) may not include cv (layer 1)"),
    ("standin/src/call.cpp", "<cvmodule/cvhost.h>", "standin (layer 3) may not include kit (layer 4)"),
    ("module/ljungcv_eval.cpp", '"elsewhere/thing.h"', "'elsewhere' is no layer in layers.txt"),
]

# Angle-bracket includes of the system and of libraries are not the layers'.
NOT_LAYERS = ["<vector>", "<fmt/format.h>", "<Eigen/Dense>"]


def run(root):
    return subprocess.run([sys.executable, str(CHECK), str(root)], capture_output=True, text=True)


class Layers(unittest.TestCase):
    def test_the_tree_keeps_its_layers(self):
        result = run(ROOT)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_a_planted_include_is_named(self):
        for target, include, why in PLANTED:
            with self.subTest(target=target, include=include), tempfile.TemporaryDirectory() as work:
                work = pathlib.Path(work)
                shutil.copy(ROOT / "layers.txt", work / "layers.txt")
                planted = work / target
                planted.parent.mkdir(parents=True)
                original = (ROOT / target).read_text()
                planted.write_text(original + f"#include {include}\n")
                line = original.count("\n") + 1
                result = run(work)
                self.assertEqual(result.returncode, 1, result.stdout)
                self.assertIn(f"{target}:{line}: #include {include}: {why}", result.stdout)

    def test_system_headers_are_not_layers(self):
        with tempfile.TemporaryDirectory() as work:
            work = pathlib.Path(work)
            shutil.copy(ROOT / "layers.txt", work / "layers.txt")
            planted = work / "core" / "src" / "grid.cpp"
            planted.parent.mkdir(parents=True)
            planted.write_text("".join(f"#include {include}\n" for include in NOT_LAYERS))
            result = run(work)
            self.assertEqual(result.returncode, 0, result.stdout)


if __name__ == "__main__":
    unittest.main()
