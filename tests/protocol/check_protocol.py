#!/usr/bin/env python3
"""Checks the protocol's files of a report folder from outside the program.

  check_protocol.py figures <report folder>
      Works the figures of every test out again from the record files with Python's csv and
      statistics modules and compares them with the rows of Сводка.csv.

  check_protocol.py print <report folder>
      Prints the newest protocol of each kind and the index to PDF with Debian's chromium,
      headless, and checks with poppler's pdfinfo and pdftotext: one A4 page, the subject, the
      hits totals, the balance line (worked out here with an exact binomial test); the index
      links every protocol file. Exits with 77 (skipped) when chromium or poppler is missing.
"""

import csv
import math
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import urllib.parse

KINDS = ["Круговая", "Линейная", "Вспышка"]
ACCURATE = 16.7


def number(text):
    return float(text.replace(",", "."))


def read_csv(path):
    with open(path, encoding="utf-8-sig", newline="") as f:
        return list(csv.DictReader(f, delimiter=";"))


def check_figures(folder):
    summary = read_csv(os.path.join(folder, "Сводка.csv"))
    if not summary:
        sys.exit("Сводка.csv holds no test")
    presses = {}
    for kind in KINDS:
        path = os.path.join(folder, kind + ".csv")
        if os.path.exists(path):
            for r in read_csv(path):
                presses.setdefault((kind, r["Испытуемый"], r["Дата и время"]), []).append(r)
    failures = 0
    for row in summary:
        key = (row["Испытание"], row["Испытуемый"], row["Дата и время"])
        rows = [r for r in presses.get(key, []) if r["Итог"] != "не учтено"]
        for hand in ("левая", "правая"):
            mine = [r for r in rows if r["Рука"] == hand]
            e = [number(r["Отклонение, мс"]) for r in mine if r["Отклонение, мс"]]
            want = {"Ответов": len(mine)}
            if key[0] == "Вспышка":
                rt = [x for x in e if 100 <= x < 500]
                want["Упреждений"] = sum(x < 100 for x in e)
                want["Пропусков"] = sum(x >= 500 for x in e)
                if rt:
                    want["Время реакции, мс"] = statistics.mean(rt)
                    want["Медиана времени реакции, мс"] = statistics.median(rt)
                if len(rt) > 1:
                    want["Стандартное отклонение времени реакции, мс"] = statistics.stdev(rt)
            else:
                want["Точных"] = sum(abs(x) <= ACCURATE for x in e)
                want["Опережений"] = sum(x < -ACCURATE for x in e)
                want["Запаздываний"] = sum(x > ACCURATE for x in e)
                if e:
                    want["Постоянная ошибка, мс"] = statistics.mean(e)
                    want["Абсолютная ошибка, мс"] = statistics.mean(abs(x) for x in e)
                    want["Размах, мс"] = max(e) - min(e)
                    want["Сумма опережений, мс"] = sum(x for x in e if x < -ACCURATE)
                if len(e) > 1:
                    want["Переменная ошибка, мс"] = statistics.stdev(e)
            for column, value in want.items():
                got = row[f"{column}, {hand}"]
                ok = (got == str(value)) if isinstance(value, int) else \
                    (got != "" and abs(number(got) - value) <= 0.05 + 1e-9)
                if not ok:
                    failures += 1
                    print(f"{key} {hand}: {column} is {got!r}, worked out {value!r}")
    print(f"check_protocol: {len(summary)} summary rows against the record files, "
          f"{failures} differences")
    return 1 if failures else 0


def sign_test(a, b):
    n, k = a + b, min(a, b)
    if n == 0:
        return 1.0
    return min(1.0, 2 * sum(math.comb(n, i) for i in range(k + 1)) / 2 ** n)


def p_text(p):
    if p < 0.001:
        return "p < 0,001"
    return "p = " + (f"{p:.3f}" if p < 0.01 else f"{p:.2f}").replace(".", ",")


def balance(early, late):
    p = sign_test(early, late)
    if p < 0.05 and early != late:
        return ("опережения преобладают" if early > late else "запаздывания преобладают") + \
            ", " + p_text(p)
    return "преобладания нет, " + p_text(p)


def print_pdf(chromium, html, pdf):
    profile = tempfile.mkdtemp(prefix="tavrik-chromium-")
    try:
        subprocess.run([chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                        "--disable-background-networking", "--disable-component-update",
                        "--disable-sync", "--user-data-dir=" + profile, "--no-pdf-header-footer",
                        "--print-to-pdf=" + pdf, "file://" + os.path.abspath(html)],
                       check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       timeout=180)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


def flat(text):
    return re.sub(r"\s+", " ", text)


def check_print(folder):
    chromium = shutil.which("chromium") or shutil.which("chromium-browser")
    if not chromium or not shutil.which("pdfinfo") or not shutil.which("pdftotext"):
        print("check_protocol: SKIPPED, chromium or poppler-utils is missing "
              "(apt-get install chromium poppler-utils)")
        return 77
    summary = read_csv(os.path.join(folder, "Сводка.csv"))
    out = tempfile.mkdtemp(prefix="tavrik-print-")
    failures = []
    try:
        for kind in KINDS:
            rows = [r for r in summary if r["Испытание"] == kind]
            if not rows:
                continue
            row = max(rows, key=lambda r: re.sub(r"(\d\d)\.(\d\d)\.(\d{4})", r"\3\2\1",
                                                 r["Дата и время"]))
            html = os.path.join(folder, "Протоколы", row["Протокол"])
            pdf = os.path.join(out, kind + ".pdf")
            print_pdf(chromium, html, pdf)
            info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True).stdout
            text = flat(subprocess.run(["pdftotext", pdf, "-"], capture_output=True,
                                       text=True).stdout)
            pages = re.search(r"Pages:\s+(\d+)", info)
            print(f"{kind}: {pages.group(1) if pages else '?'} page(s), "
                  f"{re.search(r'Page size:.*', info).group(0)}")
            if not pages or pages.group(1) != "1":
                failures.append(f"{kind}: not one page")
            if "(A4)" not in info:
                failures.append(f"{kind}: not A4")
            wanted = [flat(row["Испытуемый"]), row["Дата и время"]]
            wanted += [f"{row['Попаданий, ' + h]} из 40" for h in ("левая", "правая")]
            if kind != "Вспышка":
                for h, name in (("левая", "Левая рука"), ("правая", "Правая рука")):
                    early, late = int(row["Опережений, " + h]), int(row["Запаздываний, " + h])
                    wanted.append(f"{name}: опережений {early}, запаздываний {late} — "
                                  f"{balance(early, late)}")
            for w in wanted:
                if w not in text:
                    failures.append(f"{kind}: the printed page lacks «{w}»")
        index = os.path.join(folder, "Протоколы.html")
        print_pdf(chromium, index, os.path.join(out, "index.pdf"))
        if not os.path.getsize(os.path.join(out, "index.pdf")):
            failures.append("the index did not print")
        links = {urllib.parse.unquote(h) for h in
                 re.findall(r'href="([^"]+)"', open(index, encoding="utf-8").read())}
        files = {"Протоколы/" + f for f in os.listdir(os.path.join(folder, "Протоколы"))}
        if files - links:
            failures.append(f"the index does not link {sorted(files - links)}")
    finally:
        shutil.rmtree(out, ignore_errors=True)
    for f in failures:
        print("check_protocol:", f)
    print(f"check_protocol: {len(failures)} failures")
    return 1 if failures else 0


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("figures", "print"):
        sys.exit(__doc__)
    sys.exit(check_figures(sys.argv[2]) if sys.argv[1] == "figures" else check_print(sys.argv[2]))


if __name__ == "__main__":
    main()
