#!/usr/bin/env python3
"""The figures and the report page as people see them: in headless Chromium
and in rsvg-convert.

check_figures_rendered.py QUORVEL SETS_DIR CASE_DIR...

Each case folder (an end-to-end case: instr.txt, its inputs, and a file
data_sets naming the shared data sets to copy in) is run in a scratch folder
with standard input closed. Then, in the folder its "FIGURES" line names:

- index.html, opened in Chromium: its screenshot is not blank, and every
  figure loaded (each <img> complete, at the size its SVG gives: checked by a
  small script put into a copy of the page, never into the page itself);
- each SVG, drawn by rsvg-convert and by Chromium on a canvas larger than the
  picture: nothing is drawn outside the picture (no text or legend cut off, in
  either renderer's sans-serif font), and the two drawings agree but for the
  glyphs of the two fonts.

Chromium and rsvg-convert are part of the test set-up (tools/setup-deps.sh
test): when one is missing the check fails.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True
from png_image import read_png  # noqa: E402

MARGIN = 60  # pixels of canvas around the picture
SCALE = 0.5  # drawings at half size: enough to see ink, four times faster to read
BLOCK = 8  # side of the blocks compared between the renderers (pixels of the half-size drawing)
BLOCK_DIFFERENCE = 12  # grey levels: a block whose mean differs more disagrees
DISAGREEING_SHARE = 0.05  # font glyphs differ; a missing band or line disagrees in far more blocks

CHECK_SCRIPT = """<script>
window.addEventListener("load", function () {
  var lines = [];
  for (var i = 0; i < document.images.length; ++i) {
    var image = document.images[i];
    lines.push(image.complete + " " + image.naturalWidth + " " + image.naturalHeight);
  }
  var out = document.createElement("pre");
  out.id = "image-check";
  out.textContent = "IMAGES\\n" + lines.join("\\n") + "\\nEND";
  document.body.appendChild(out);
});
</script>
"""


def find_tool(*names):
    for name in names:
        path = shutil.which(name)
        if path:
            return path
    return None


class Checker:
    def __init__(self, chromium, rsvg, scratch):
        self.chromium = chromium
        self.rsvg = rsvg
        self.scratch = scratch
        self.profiles = 0
        self.problems = []

    def fail(self, text):
        self.problems.append(text)

    def run_chromium(self, *arguments):
        # A new empty profile each time; no network, no first-run or update work.
        self.profiles += 1
        profile = os.path.join(self.scratch, "profile%d" % self.profiles)
        os.makedirs(profile)
        command = [self.chromium, "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                   "--disable-background-networking", "--disable-component-update", "--disable-sync",
                   "--hide-scrollbars", "--user-data-dir=" + profile] + list(arguments)
        run = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, universal_newlines=True,
                             timeout=120)
        return run.stdout

    def screenshot(self, url, width, height, png):
        self.run_chromium("--force-device-scale-factor=%g" % SCALE, "--screenshot=" + png,
                          "--window-size=%d,%d" % (width, height), url)
        if not os.path.exists(png):
            self.fail("Chromium made no screenshot of %s" % url)
            return None
        return read_png(png)

    def check_page(self, folder, svg_sizes):
        page = os.path.join(folder, "index.html")
        if not os.path.exists(page):
            self.fail("%s: no index.html" % folder)
            return
        with open(page, encoding="utf-8") as f:
            html = f.read()
        if "<script" in html:
            self.fail("%s: the page has a script" % page)
        # Every figure loaded, at its size.
        probe = os.path.join(self.scratch, "probe.html")
        with open(probe, "w", encoding="utf-8") as f:
            f.write(html.replace("</body>", CHECK_SCRIPT + "</body>"))
        dom = self.run_chromium("--virtual-time-budget=10000", "--dump-dom", "file://" + probe)
        found = re.search(r"IMAGES\n(.*?)\n?END", dom, re.S)
        images = found.group(1).split("\n") if found and found.group(1) else []
        expected = ["true %d %d" % size for size in svg_sizes]
        if images != expected:
            self.fail("%s: images as loaded %s, expected %s (complete, width, height of each figure)" %
                      (page, images, expected))
        # The screenshot is not blank: text, tables and figures leave ink.
        shot = self.screenshot("file://" + page, 1000, 1600, os.path.join(self.scratch, "page.png"))
        if shot:
            width, height, rows = shot
            ink = sum(1 for row in rows for v in row if v < 200)
            levels = len({v // 16 for row in rows for v in row})
            if ink < width * height * 0.01 or levels < 4:
                self.fail("%s: the screenshot looks blank (%d dark pixels, %d grey levels)" % (page, ink, levels))

    def check_svg(self, path):
        with open(path, encoding="utf-8") as f:
            svg = f.read()
        root = re.search(r"<svg [^>]*>", svg).group(0)
        width = int(re.search(r' width="(\d+)"', root).group(1))
        height = int(re.search(r' height="(\d+)"', root).group(1))
        if not re.search(r"<title>[^<]+</title>\n<desc>[^<]+</desc>", svg):
            self.fail("%s: no <title> and <desc>" % path)
        # The same picture on a larger canvas: whatever is drawn outside the
        # picture would be cut off in the figure itself.
        wide_w, wide_h = width + 2 * MARGIN, height + 2 * MARGIN
        wide_root = re.sub(r' width="\d+" height="\d+" viewBox="[^"]*"',
                           ' width="%d" height="%d" viewBox="%d %d %d %d"' %
                           (wide_w, wide_h, -MARGIN, -MARGIN, wide_w, wide_h), root)
        wide = os.path.join(self.scratch, "wide_" + os.path.basename(path))
        with open(wide, "w", encoding="utf-8") as f:
            f.write(svg.replace(root, wide_root, 1))
        drawings = {}
        rsvg_png = wide + ".rsvg.png"
        subprocess.run([self.rsvg, "-z", str(SCALE), "-b", "white", "-o", rsvg_png, wide], check=True, timeout=120)
        drawings["rsvg-convert"] = read_png(rsvg_png)
        chromium = self.screenshot("file://" + wide, wide_w, wide_h, wide + ".chromium.png")
        if chromium:
            drawings["Chromium"] = chromium
        inner = (MARGIN * SCALE - 1, MARGIN * SCALE - 1, (MARGIN + width) * SCALE + 1, (MARGIN + height) * SCALE + 1)
        for renderer, (w, h, rows) in drawings.items():
            outside = [(x, y) for y in range(h) for x in range(w)
                       if rows[y][x] < 250 and not (inner[0] <= x <= inner[2] and inner[1] <= y <= inner[3])]
            if outside:
                x, y = outside[0]
                self.fail("%s: %s draws %d pixels outside the picture, the first at (%g, %g) of the picture" %
                          (path, renderer, len(outside), x / SCALE - MARGIN, y / SCALE - MARGIN))
        if len(drawings) == 2:
            (w1, h1, a), (w2, h2, b) = drawings.values()
            w, h = min(w1, w2), min(h1, h2)
            blocks = disagreeing = 0
            for by in range(0, h - BLOCK + 1, BLOCK):
                for bx in range(0, w - BLOCK + 1, BLOCK):
                    sa = sum(sum(a[y][bx:bx + BLOCK]) for y in range(by, by + BLOCK))
                    sb = sum(sum(b[y][bx:bx + BLOCK]) for y in range(by, by + BLOCK))
                    blocks += 1
                    disagreeing += abs(sa - sb) / (BLOCK * BLOCK) > BLOCK_DIFFERENCE
            if disagreeing > blocks * DISAGREEING_SHARE:
                self.fail("%s: rsvg-convert and Chromium disagree in %d of %d blocks" % (path, disagreeing, blocks))
        return width, height


def run_case(quorvel, sets_dir, case_dir, scratch):
    """Runs a case in a scratch folder; returns its figure folder."""
    run_dir = os.path.join(scratch, os.path.basename(case_dir.rstrip("/")))
    os.makedirs(run_dir)
    sets_file = os.path.join(case_dir, "data_sets")
    if os.path.exists(sets_file):
        with open(sets_file) as f:
            for name in f.read().split():
                for data in os.listdir(os.path.join(sets_dir, name)):
                    shutil.copy(os.path.join(sets_dir, name, data), run_dir)
    for name in os.listdir(case_dir):
        if os.path.isfile(os.path.join(case_dir, name)) and name != "data_sets":
            shutil.copy(os.path.join(case_dir, name), run_dir)
    run = subprocess.run([quorvel, "instr.txt"], cwd=run_dir, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                         stderr=subprocess.STDOUT, timeout=300)
    if run.returncode != 0:
        raise RuntimeError("%s: the run ended with status %d" % (case_dir, run.returncode))
    with open(os.path.join(run_dir, "instr.txt"), encoding="latin-1") as f:
        folder = re.search(r"^FIGURES\t(\S+)", f.read(), re.M).group(1)
    return os.path.join(run_dir, folder)


def main(argv):
    quorvel, sets_dir, cases = argv[1], argv[2], argv[3:]
    chromium = find_tool("chromium", "chromium-browser")
    rsvg = find_tool("rsvg-convert")
    missing = [name for name, path in (("chromium", chromium), ("rsvg-convert", rsvg)) if not path]
    if missing:
        print("missing: %s (tools/setup-deps.sh test installs them)" % ", ".join(missing))
        return 1
    start = time.time()
    scratch = tempfile.mkdtemp(prefix="quorvel-rendered-")
    try:
        checker = Checker(chromium, rsvg, scratch)
        figures = 0
        for case in cases:
            folder = run_case(quorvel, sets_dir, case, scratch)
            svgs = sorted(n for n in os.listdir(folder) if n.endswith(".svg"))
            if not svgs:
                checker.fail("%s: no figure" % case)
            # The page shows the figures in the order the program draws them;
            # the sizes are compared as a list, so order them as the page does.
            with open(os.path.join(folder, "index.html"), encoding="utf-8") as f:
                order = re.findall(r"File: ([^<]+\.svg)\.</figcaption>", f.read())
            sizes = {name: checker.check_svg(os.path.join(folder, name)) for name in svgs}
            if sorted(order) != svgs:
                checker.fail("%s: the page shows %s, the folder holds %s" % (case, order, svgs))
            checker.check_page(folder, [sizes[name] for name in order if name in sizes])
            figures += len(svgs)
    finally:
        shutil.rmtree(scratch, ignore_errors=True)
    for problem in checker.problems:
        print(problem)
    if checker.problems:
        return 1
    print("%d figures of %d runs drawn alike by rsvg-convert and Chromium, nothing cut off; every report page loads "
          "its figures (%.1f s)" % (figures, len(cases), time.time() - start))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
