#!/usr/bin/env python3
"""The set-up step of `make example`, `make test` and CI, on made-up machines.

setup_deps_test.py SETUP_SCRIPT

Each case runs tools/setup-deps.sh with a PATH that holds only a few real
utilities and stand-ins for the tools the machine is meant to have; headers
come from a scratch include folder. The stand-in apt-get records how it was
called (through sudo, with DEBIAN_FRONTEND) and "installs" a package by
creating the stand-in of what the package brings, so nothing is installed on
the machine that runs the test.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SCRIPT = None
UTILITIES = ["sed", "cut", "uname", "env", "flock"]
STAND_IN_UTILITIES = ["sh", "mkdir", "chmod"]  # for the stand-ins only, not on the script's PATH
REQUIRED_FOR_TEST = "g++ cmake make clang-format libgtest-dev libgmock-dev python3 librsvg2-bin chromium"

# What each package brings, as the stand-in apt-get creates it.
FAKE_APT_GET = r"""#!/bin/sh
PATH="$FAKE_ROOT/util:$PATH"
echo "apt-get $* (DEBIAN_FRONTEND=$DEBIAN_FRONTEND)" >> "$FAKE_ROOT/log"
[ "$1" = install ] || exit 0
shift
tool() { sh "$FAKE_ROOT/make_tool" "$1"; }
for package in "$@"; do
  case " $FAKE_APT_FAILS " in *" $package "*) exit 100 ;; esac
done
for package in "$@"; do
  case "$package" in
    -*) ;;
    g++) tool c++ ;;
    cmake) tool cmake ;;
    libgtest-dev) mkdir -p "$FAKE_ROOT/include/gtest" && : > "$FAKE_ROOT/include/gtest/gtest.h" ;;
    libgmock-dev) mkdir -p "$FAKE_ROOT/include/gmock" && : > "$FAKE_ROOT/include/gmock/gmock.h" ;;
    librsvg2-bin) tool rsvg-convert ;;
    clang) tool clang++ ;;
    libclang-rt-*) : > "$FAKE_ROOT/none" ;;  # where the stand-in clang++ says its runtime is
    *) tool "$package" ;;
  esac
done
"""

MAKE_TOOL = r"""#!/bin/sh
PATH="$FAKE_ROOT/util:$PATH"
# A stand-in command: cmake tells its version, clang++ where its runtime is.
case "$1" in
  cmake) printf '#!/bin/sh\necho "cmake version %s"\n' "${FAKE_CMAKE_VERSION:-3.25.1}" > "$FAKE_ROOT/bin/cmake" ;;
  clang++) printf '#!/bin/sh\ncase "$1" in -dumpversion) echo 14.0.6 ;; -print-file-name=*) echo "$FAKE_ROOT/%s" ;; esac\n' \
      "${FAKE_RUNTIME:-none}" > "$FAKE_ROOT/bin/clang++" ;;
  *) printf '#!/bin/sh\nexit 0\n' > "$FAKE_ROOT/bin/$1" ;;
esac
chmod +x "$FAKE_ROOT/bin/$1"
"""

FAKE_SUDO = """#!/bin/sh
echo "sudo" >> "$FAKE_ROOT/log"
exec "$@"
"""


class Machine:
    """A scratch machine: bin/ (the PATH), include/, and the apt-get log."""

    def __init__(self, uid=0, tools=(), headers=(), apt=True, sudo=True, **env):
        self.root = tempfile.mkdtemp(prefix="setup-deps-")
        self.bin = os.path.join(self.root, "bin")
        os.makedirs(self.bin)
        for name in UTILITIES:
            os.symlink(shutil.which(name), os.path.join(self.bin, name))
        os.makedirs(os.path.join(self.root, "util"))
        for name in STAND_IN_UTILITIES:
            os.symlink(shutil.which(name), os.path.join(self.root, "util", name))
        self.write("bin/id", "#!/bin/sh\necho %d\n" % uid)
        self.write("make_tool", MAKE_TOOL)
        if apt:
            self.write("bin/apt-get", FAKE_APT_GET)
        if sudo:
            self.write("bin/sudo", FAKE_SUDO)
        self.env = {"PATH": self.bin, "FAKE_ROOT": self.root, "SETUP_INCLUDE_DIRS": os.path.join(self.root, "include")}
        self.env.update(env)
        for tool in tools:
            subprocess.run(["/bin/sh", os.path.join(self.root, "make_tool"), tool], env=self.env, check=True)
        for header in headers:
            self.write("include/" + header, "")
        self.write("runtime.a", "")

    def write(self, name, text):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)

    def run(self, *args):
        run = subprocess.run(["/bin/bash", SCRIPT] + list(args), env=self.env, stdout=subprocess.PIPE,
                             stderr=subprocess.STDOUT, universal_newlines=True, timeout=60)
        return run.returncode, run.stdout

    def log(self):
        path = os.path.join(self.root, "log")
        if not os.path.exists(path):
            return []
        with open(path) as f:
            return f.read().splitlines()

    def close(self):
        shutil.rmtree(self.root)


EVERYTHING = dict(tools=["c++", "cmake", "make", "clang-format", "python3", "rsvg-convert", "chromium", "clang++"],
                  headers=["gtest/gtest.h", "gmock/gmock.h", "benchmark/benchmark.h"], FAKE_RUNTIME="runtime.a")


class SetupDeps(unittest.TestCase):
    def machine(self, **kwargs):
        m = Machine(**kwargs)
        self.addCleanup(m.close)
        return m

    def test_a_complete_machine_is_left_alone_without_a_word(self):
        m = self.machine(**EVERYTHING)
        self.assertEqual(m.run("test", "bench", "fuzz"), (0, ""))
        self.assertEqual(m.log(), [])

    def test_dry_run_says_what_and_how_and_installs_nothing(self):
        m = self.machine(uid=1000)
        status, output = m.run("--dry-run", "test")
        self.assertEqual(status, 0, output)
        apt = "  sudo env DEBIAN_FRONTEND=noninteractive apt-get "
        self.assertEqual(output.splitlines(), [
            "Quorvel needs, for test, these packages that this machine lacks: %s" % REQUIRED_FOR_TEST,
            "Dry run: they would be installed with",
            apt + "update -q",
            apt + "install -y -q " + REQUIRED_FOR_TEST,
        ])
        self.assertEqual(m.log(), [])

    def test_installs_through_sudo_when_not_root_then_finds_everything(self):
        m = self.machine(uid=1000)
        status, output = m.run("test")
        self.assertEqual(status, 0, output)
        self.assertIn("Installing them with apt-get through sudo:", output)
        self.assertEqual(m.log(), [
            "sudo", "apt-get update -q (DEBIAN_FRONTEND=noninteractive)",
            "sudo", "apt-get install -y -q %s (DEBIAN_FRONTEND=noninteractive)" % REQUIRED_FOR_TEST,
        ])
        # Idempotent: a second run finds nothing to do.
        self.assertEqual(m.run("test"), (0, ""))

    def test_root_installs_without_sudo_and_only_what_the_purpose_needs(self):
        m = self.machine(uid=0, sudo=False, tools=["c++", "make"])
        status, output = m.run("example")
        self.assertEqual(status, 0, output)
        self.assertIn("Quorvel needs, for example, these packages that this machine lacks: cmake\n", output)
        self.assertEqual(m.log(), ["apt-get update -q (DEBIAN_FRONTEND=noninteractive)",
                                   "apt-get install -y -q cmake (DEBIAN_FRONTEND=noninteractive)"])

    def test_an_old_cmake_counts_as_missing(self):
        m = self.machine(tools=["c++", "cmake", "make"], FAKE_CMAKE_VERSION="3.18.4")
        status, output = m.run("--dry-run", "example")
        self.assertEqual(status, 0, output)
        self.assertIn("lacks: cmake\n", output)

    def test_a_package_that_cannot_be_installed_stops_with_what_is_missing(self):
        m = self.machine(tools=["c++", "cmake", "make", "clang-format", "python3", "rsvg-convert", "chromium"],
                         FAKE_APT_FAILS="libgmock-dev")
        status, output = m.run("test")
        self.assertEqual(status, 1, output)
        self.assertTrue(output.endswith("setup: still missing after apt-get:\n"
                                        "  - GoogleTest (headers and libraries)\n"
                                        "  - GoogleMock (headers and libraries)\n"), output)

    def test_the_tests_cannot_do_without_the_browser(self):
        # The report page is checked in Chromium: a machine that cannot get
        # it cannot run the tests, and is told so.
        m = self.machine(tools=["c++", "cmake", "make", "clang-format", "python3", "rsvg-convert"],
                         headers=["gtest/gtest.h", "gmock/gmock.h"], FAKE_APT_FAILS="chromium")
        status, output = m.run("test")
        self.assertEqual(status, 1, output)
        self.assertTrue(output.endswith("setup: still missing after apt-get:\n  - Chromium, run headless, in which "
                                        "the tests draw the figures and open the report page\n"), output)
        # Ubuntu's name for it will do, and the example needs neither.
        m = self.machine(tools=["c++", "cmake", "make", "clang-format", "python3", "rsvg-convert",
                                "chromium-browser"], headers=["gtest/gtest.h", "gmock/gmock.h"])
        self.assertEqual(m.run("test"), (0, ""))
        self.assertEqual(self.machine(tools=["c++", "cmake", "make"]).run("example"), (0, ""))

    def test_other_systems_stop_with_the_list_of_what_to_install(self):
        m = self.machine(apt=False, tools=["c++", "make", "clang-format"], headers=["gtest/gtest.h"])
        status, output = m.run("test")
        self.assertEqual(status, 1, output)
        self.assertEqual(output.splitlines(), [
            "Quorvel needs, for test, what this machine lacks. Install with your system's package manager:",
            "  - CMake 3.20 or later",
            "  - GoogleMock (headers and libraries)",
            "  - Python 3",
            "  - rsvg-convert (librsvg), in which the tests draw the figures",
            "  - Chromium, run headless, in which the tests draw the figures and open the report page",
            "then run the same command again.",
        ])

    def test_without_root_or_sudo_the_command_to_run_as_root_is_given(self):
        m = self.machine(uid=1000, sudo=False, tools=["c++", "cmake"])
        status, output = m.run("example")
        self.assertEqual(status, 1, output)
        self.assertIn("  apt-get update && apt-get install make\n", output)
        self.assertEqual(m.log(), [])

    def test_installation_turned_off_only_reports(self):
        m = self.machine(tools=["c++", "cmake", "make"])
        status, output = m.run("--no-install", "format")
        self.assertEqual((status, output), (0, "setup: missing, and not installed (installation turned off):\n"
                                                "  - clang-format\n"))
        self.assertEqual(m.log(), [])

    def test_the_fuzzer_runtime_is_named_after_the_clang_release(self):
        m = self.machine(tools=["c++", "cmake", "make", "clang++"])
        status, output = m.run("--dry-run", "fuzz")
        self.assertEqual(status, 0, output)
        self.assertIn("lacks: libclang-rt-14-dev\n", output)
        self.assertIn("(or libclang-common-14-dev where the release has no libclang-rt-14-dev)", output)

    def test_the_fuzzer_runtime_follows_the_clang_just_installed(self):
        m = self.machine(tools=["c++", "cmake", "make"])
        status, output = m.run("fuzz")
        self.assertEqual(status, 0, output)
        self.assertEqual(m.log(), ["apt-get update -q (DEBIAN_FRONTEND=noninteractive)",
                                   "apt-get install -y -q clang (DEBIAN_FRONTEND=noninteractive)",
                                   "apt-get install -y -q libclang-rt-14-dev (DEBIAN_FRONTEND=noninteractive)"])

    def test_an_unknown_purpose_is_refused(self):
        m = self.machine()
        status, output = m.run("everything")
        self.assertEqual(status, 64)
        self.assertIn("usage: tools/setup-deps.sh", output)


if __name__ == "__main__":
    SCRIPT = os.path.abspath(sys.argv.pop(1))
    unittest.main(verbosity=2)
