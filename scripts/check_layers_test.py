#!/usr/bin/env python3
"""The layer check on small trees: what each layer may include, what it may
not, and one control name spelled twice."""

import shutil
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import check_layers  # noqa: E402


ROOTS = []


def tree(files):
    root = Path(tempfile.mkdtemp(prefix="zjig_layers_"))
    ROOTS.append(root)
    (root / "src").mkdir()
    (root / "sim").mkdir()
    for name, text in files.items():
        path = root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_text(text, encoding="utf-8")
    return root


def tearDownModule():
    for root in ROOTS:
        shutil.rmtree(root, ignore_errors=True)


class Includes(unittest.TestCase):
    # (including file, included path, the problem's layers or None when allowed)
    CASES = [
        ("src/base/a.h", "base/b.h", None),
        ("src/base/a.h", "jiglink/jig_link.h", "layer base may not include layer jiglink"),
        ("src/jiglink/a.cpp", "base/ui_port.h", None),
        ("src/jiglink/a.cpp", "app/shell.h", "layer jiglink may not include layer app"),
        ("src/jiglink/backends/a.cpp", "jiglink/device.h", None),
        ("src/jiglink/backends/sim_port.cpp", "sim/sim_jig.h", None),
        ("src/jiglink/backends/serial_port.cpp", "sim/sim_jig.h",
         "layer jiglink may not include layer sim"),
        ("src/update/a.cpp", "session/session_core.h",
         "layer update may not include layer session"),
        ("src/session/a.cpp", "update/hex_loader.h",
         "layer session may not include layer update"),
        ("src/app/a.cpp", "update/update_host.h", None),
        ("src/app/a.cpp", "frontend/options.h", "layer app may not include layer frontend"),
        ("src/frontend/a.cpp", "sim/sim_jig.h", None),
        ("src/frontend/a.cpp", "cli/runtime.h", "layer frontend may not include layer cli"),
        ("src/kb901x_form/kb901x_session.cpp", "session/session_core.h", None),
        ("src/kb901x_form/kb901x_session.cpp", "kb901x_form/kb901x_routing.h", None),
        ("src/kb901x_form/kb901x_session.cpp", "update/hex_loader.h",
         "layer kb901x_form may not include layer update"),
        ("src/kb901x_form/kb901x_session.cpp", "edid/edid_session.h",
         "layer kb901x_form may not include layer edid"),
        ("src/kb901x_form/kb901x_session.cpp", "gui/qt_port.h",
         "layer kb901x_form may not include layer gui"),
        ("src/kb901x_form/kb901x_session.cpp", "kb901x_form/kb901x_window.h",
         "layer kb901x_form may not include layer kb901x_form window files"),
        ("src/kb901x_form/kb901x_window.cpp", "gui/qt_port.h", None),
        ("src/kb901x_form/kb901x_window.cpp", "kb901x_form/kb901x_window.h", None),
        ("src/kb901x_form/kb901x_window.cpp", "cli/runtime.h",
         "layer kb901x_form window files may not include layer cli"),
        ("src/kb901x_form/kb901x_command.cpp", "cli/runtime.h", None),
        ("src/kb901x_form/kb901x_command.cpp", "app/shell.h", None),
        ("src/kb901x_form/kb901x_command.cpp", "gui/widgets.h",
         "layer kb901x_form command files may not include layer gui"),
        ("src/mec16xx/mec_command.cpp", "kb901x_form/kb901x_session.h",
         "layer mec16xx command files may not include layer kb901x_form"),
        ("src/cli/a.cpp", "kb901x_form/kb901x_session.h", None),
        ("src/cli/a.cpp", "kb901x_form/kb901x_window.h",
         "layer cli may not include layer kb901x_form window files"),
        ("src/cli/a.cpp", "gui/widgets.h", "layer cli may not include layer gui"),
        ("src/gui/a.cpp", "kb901x_form/kb901x_window.h", None),
        ("src/gui/a.cpp", "kb901x_form/kb901x_command.h",
         "layer gui may not include layer kb901x_form command files"),
        ("src/gui/a.cpp", "cli/runtime.h", "layer gui may not include layer cli"),
        ("sim/a.cpp", "sim/link.h", None),
        ("sim/a.cpp", "base/names.h", "layer sim may not include layer base"),
        ("src/app/a.cpp", "b.h", None),  # beside the including file
    ]

    def test_each_pair(self):
        for source, target, expected in self.CASES:
            with self.subTest(source=source, target=target):
                root = tree({source: f'// a file\n#include "{target}"\n'})
                problems, checked = check_layers.check_includes(root)
                self.assertEqual(checked, 1)
                if expected is None:
                    self.assertEqual(problems, [])
                else:
                    self.assertEqual(problems,
                                     [f"{source}:2: includes {target} ({expected})"])

    def test_unknown_folders_say_where_to_add_them(self):
        root = tree({"src/newmode/a.cpp": "", "src/app/b.cpp": '#include "extra/x.h"\n'})
        problems, _ = check_layers.check_includes(root)
        self.assertEqual(len(problems), 2)
        for problem in problems:
            self.assertIn("is in no layer: add it to LAYERS in scripts/check_layers.py",
                          problem)
        self.assertTrue(any(p.startswith("src/newmode/a.cpp: folder src/newmode")
                            for p in problems))
        self.assertTrue(any(p.startswith("src/app/b.cpp:1: includes extra/x.h: folder src/extra")
                            for p in problems))


class ControlNames(unittest.TestCase):
    def test_a_literal_defined_twice_is_named_at_both_places(self):
        root = tree({
            "src/base/names.h": 'inline constexpr const char* kMemoUpdate = "Memo_UPDATE";\n',
            "src/edid/edid_controls.h":
                'inline constexpr const char* kMemo = names::kEdidMemo;\n'
                'inline constexpr const char* kReadButton = "EDID_READ";\n'
                'inline constexpr const char* kGauge =\n    "Memo_UPDATE";\n',
            "src/ite/ite_controls.h": 'inline constexpr const char* kRead = "EDID_READ";\n',
        })
        problems, names = check_layers.check_control_names(root)
        self.assertEqual(names, 2)
        self.assertEqual(problems, [
            'src/edid/edid_controls.h:3: kGauge = "Memo_UPDATE" is defined already as '
            "kMemoUpdate at src/base/names.h:1 (refer to that one)",
            'src/ite/ite_controls.h:1: kRead = "EDID_READ" is defined already as '
            "kReadButton at src/edid/edid_controls.h:2 (refer to that one)",
        ])


if __name__ == "__main__":
    unittest.main()
