"""The layering check passes on the tree as it is and catches each kind of offence."""

import os
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(ROOT, "scripts", "check-layering.py")


def run(root):
    return subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)


def write(root, path, text):
    full = os.path.join(root, path)
    os.makedirs(os.path.dirname(full), exist_ok=True)
    with open(full, "w") as f:
        f.write(text)


class LayeringCheck(unittest.TestCase):
    def test_repository_keeps_to_its_layers(self):
        result = run(ROOT)
        self.assertEqual(result.returncode, 0, result.stdout)

    def test_offences_are_found_and_allowed_includes_pass(self):
        with tempfile.TemporaryDirectory() as root:
            write(root, "devlib/include/kv2_cam.h", "")
            write(root, "camera/Camera.h", '#include "kv2_cam.h"\n#include <vector>\n')
            write(root, "acquisition/Queue.h", '#include "camera/Camera.h"\n#include <QObject>\n')
            write(root, "app/MainWindow.h", '#include "acquisition/Queue.h"\n#include <QWidget>\n')
            self.assertEqual(run(root).returncode, 0, run(root).stdout)

            write(root, "camera/Bad.cpp", '#include "acquisition/Queue.h"\n')
            write(root, "widgets/Bad.cpp", '#include "app/MainWindow.h"\n')
            write(root, "server/Bad.cpp", '#include <QString>\n')
            write(root, "devlib/cam/Bad.cpp", '#include "camera/Camera.h"\n')
            result = run(root)
            self.assertEqual(result.returncode, 1)
            for where in ("camera/Bad.cpp:1", "widgets/Bad.cpp:1", "server/Bad.cpp:1",
                          "devlib/cam/Bad.cpp:1"):
                self.assertIn(where, result.stdout)
            self.assertIn("4 include(s)", result.stdout)


if __name__ == "__main__":
    unittest.main()
