#!/usr/bin/env python3
"""Reads the timing record files of a report folder back as their users would, and checks them.

  check_record.py <report folder>
      Python's csv module, as an examiner's own script would: the byte-order mark once, CR LF
      line ends, the header, a value in every column of every row, numbers with a decimal comma,
      and hits that agree with the report blocks of the same tests. Prints the usual figures of
      each test (constant, absolute and variable error, early and late answers per hand).

  check_record.py --libreoffice <report folder>
      LibreOffice, headless, opens each file as a spreadsheet in a Russian locale would (";"
      between fields, UTF-8, Russian number and date formats) and saves it as flat OpenDocument:
      every field must be one cell, numbers numbers, the date and time a date, texts as written.
      Exits with 77 (skipped) when soffice is not installed.
"""

import csv
import io
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

BOM = b"\xef\xbb\xbf"

PRESS_HEADER = ["Испытуемый", "Дата и время", "Уровень", "Цикл", "Рука", "Итог", "Кадр",
                "Время, мс", "Отклонение, мс", "Отклонение, кадров", "Фаза"]
FRAME_HEADER = ["Испытуемый", "Дата и время", "Уровень", "Кадров", "Частота экрана, Гц", "Темп",
                "Средний интервал, мс", "Стандартное отклонение, мс", "Наибольший интервал, мс",
                "Пропущено кадров"]
# Columns that hold numbers (an empty cell means "not known"); "Дата и время" is a date.
NUMERIC = {"Уровень", "Цикл", "Кадр", "Время, мс", "Отклонение, мс", "Отклонение, кадров", "Фаза",
           "Кадров", "Частота экрана, Гц", "Средний интервал, мс", "Стандартное отклонение, мс",
           "Наибольший интервал, мс", "Пропущено кадров"}
ALWAYS = {"Испытуемый", "Дата и время", "Уровень", "Цикл", "Рука", "Итог", "Кадр", "Фаза",
          "Кадров"}
NUMBER = re.compile(r"-?\d+(,\d+)?")
DATE = re.compile(r"(\d\d)\.(\d\d)\.(\d{4}) (\d\d):(\d\d):(\d\d)")
REPORT_FILES = {"Круговая", "Линейная", "Вспышка"}
# The protocol's summary of every test, beside the record files; checked by tests/protocol.
SUMMARY = "Сводка.csv"
# The record files of the three tests; a folder also holds files saved apart when a record file
# could not be written ("Линейная 2026-12-11 12-16-08.csv"), which belong to no report file.
RECORDS = {t + end for t in ("Круговая", "Линейная", "Вспышка") for end in (".csv", "-кадры.csv")}


class Bad(Exception):
    pass


def number(text):
    return float(text.replace(",", "."))


def read_record(path):
    """The rows of one record file as dictionaries, after checking its bytes and its layout."""
    raw = open(path, "rb").read()
    name = os.path.basename(path)
    if not raw.startswith(BOM) or raw.count(BOM) != 1:
        raise Bad(f"{name}: the byte-order mark must open the file, once")
    if re.search(rb"\r(?!\n)|(?<!\r)\n", raw) or not raw.endswith(b"\r\n"):
        raise Bad(f"{name}: every line must end in CR LF")
    rows = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline=""), delimiter=";"))
    header = FRAME_HEADER if name.endswith("-кадры.csv") else PRESS_HEADER
    if rows[0] != header:
        raise Bad(f"{name}: header {rows[0]}")
    records = []
    for n, row in enumerate(rows[1:], start=2):
        if len(row) != len(header):
            raise Bad(f"{name} line {n}: {len(row)} fields, not {len(header)}: {row}")
        r = dict(zip(header, row))
        for column, value in r.items():
            if column in ALWAYS and value == "":
                raise Bad(f"{name} line {n}: no {column}")
            if column in NUMERIC and value and not NUMBER.fullmatch(value):
                raise Bad(f"{name} line {n}: {column} {value!r} is no number as written here")
        if not DATE.fullmatch(r["Дата и время"]):
            raise Bad(f"{name} line {n}: date and time {r['Дата и время']!r}")
        if header is PRESS_HEADER:
            if r["Рука"] not in ("левая", "правая") or \
                    r["Итог"] not in ("попадание", "промах", "не учтено"):
                raise Bad(f"{name} line {n}: hand or outcome {row}")
            if not 1 <= int(r["Уровень"]) <= 4 or not 1 <= int(r["Цикл"]) <= 10:
                raise Bad(f"{name} line {n}: level or cycle {row}")
        records.append(r)
    return header, rows, records


def report_blocks(path):
    """(name, date and time) -> {(level, cycle, hand): hit} from a report file."""
    lines = open(path, "rb").read().decode("cp1251").split("\r\n")
    blocks = {}
    for i in range(0, len(lines) - 15, 16):
        name = lines[i][len("Испытуемый: "):]
        when = lines[i + 1][len("Дата и время: "):]
        cells = {}
        for hand, first in (("левая", i + 4), ("правая", i + 10)):
            for level in range(1, 5):
                for cycle, cell in enumerate(lines[first + level - 1].split(",")[1:], start=1):
                    cells[(level, cycle, hand)] = cell == "1 "
        blocks[(name, when)] = cells
    return blocks


def check_with_python(folder):
    files = sorted(f for f in os.listdir(folder) if f in RECORDS)
    if not files:
        raise Bad(f"no record files in {folder}")
    for file in files:
        header, _, records = read_record(os.path.join(folder, file))
        print(f"{file}: {len(records)} rows")
        if header is FRAME_HEADER:
            for r in records:
                print(f"  {r['Испытуемый']!r} level {r['Уровень']}: {r['Кадров']} frames, "
                      f"mean interval {r['Средний интервал, мс']} ms, {r['Пропущено кадров']} "
                      f"dropped, {r['Темп']}")
            continue
        test = file[:-len(".csv")]
        blocks = report_blocks(os.path.join(folder, test + ".txt"))
        tests = {(r["Испытуемый"], r["Дата и время"]) for r in records}
        for key in sorted(tests):
            if key not in blocks:
                raise Bad(f"{file}: rows of {key} but no report block of that name and time")
            hits = {(int(r["Уровень"]), int(r["Цикл"]), r["Рука"]) for r in records
                    if (r["Испытуемый"], r["Дата и время"]) == key and r["Итог"] == "попадание"}
            scored = {cell for cell, hit in blocks[key].items() if hit}
            if hits != scored:
                raise Bad(f"{file}: {key}: hit rows {sorted(hits ^ scored)} differ from the report")
            print(f"  {key[0]!r} {key[1]}: {len(scored)} hits, as the report block says")
            # The usual figures: judged answers only (a press the latch ignored answered nothing).
            for hand in ("левая", "правая"):
                errors = [number(r["Отклонение, мс"]) for r in records
                          if (r["Испытуемый"], r["Дата и время"]) == key and r["Рука"] == hand
                          and r["Итог"] != "не учтено" and r["Отклонение, мс"]]
                if len(errors) < 2:
                    continue
                mean = sum(errors) / len(errors)
                sd = math.sqrt(sum((e - mean) ** 2 for e in errors) / (len(errors) - 1))
                print(f"    {hand}: constant error {mean:+.1f} ms, absolute error "
                      f"{sum(abs(e) for e in errors) / len(errors):.1f} ms, variable error "
                      f"{sd:.1f} ms; {sum(e < 0 for e in errors)} early, "
                      f"{sum(e > 0 for e in errors)} late")
    return files


def cell_text(p):
    """The text of a <text:p>, blanks included (ODF writes runs of them as <text:s text:c="n"/>)."""
    ns_text = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"
    out = [p.text or ""]
    for child in p:
        if child.tag == ns_text + "s":
            out.append(" " * int(child.get(ns_text + "c", "1")))
        else:
            out.append(cell_text(child))
        out.append(child.tail or "")
    return "".join(out)


def spreadsheet_rows(fods):
    ns = {"table": "urn:oasis:names:tc:opendocument:xmlns:table:1.0",
          "office": "urn:oasis:names:tc:opendocument:xmlns:office:1.0",
          "text": "urn:oasis:names:tc:opendocument:xmlns:text:1.0"}
    office = "{%s}" % ns["office"]
    rows = []
    for row in ET.parse(fods).getroot().iter("{%s}table-row" % ns["table"]):
        cells = []
        for cell in row.findall("table:table-cell", ns):
            repeat = int(cell.get("{%s}number-columns-repeated" % ns["table"], "1"))
            p = cell.find("text:p", ns)
            value = (cell.get(office + "value-type"), cell.get(office + "value"),
                     cell.get(office + "date-value"), cell_text(p) if p is not None else "")
            cells.extend([value] * min(repeat, 64))
        while cells and cells[-1][0] is None:
            cells.pop()
        rows.append(cells)
    while rows and not rows[-1]:
        rows.pop()
    return rows


def check_with_libreoffice(folder):
    soffice = shutil.which("soffice")
    if not soffice:
        print("soffice is not installed, so the files were not opened in LibreOffice; install it "
              "with: apt-get install --no-install-recommends libreoffice-calc-nogui")
        sys.exit(77)
    files = sorted(f for f in os.listdir(folder) if f in RECORDS)
    if not files:
        raise Bad(f"no record files in {folder}")
    with tempfile.TemporaryDirectory(prefix="tavrik-record-") as out:
        # Field separator ";", text delimiter '"', UTF-8, from line 1, standard cells, Russian.
        filter_options = "CSV:59,34,76,1,,1049"
        subprocess.run([soffice, "--headless", "--norestore",
                        "-env:UserInstallation=file://" + os.path.join(out, "profile"),
                        "--infilter=" + filter_options, "--convert-to", "fods", "--outdir", out]
                       + [os.path.join(folder, f) for f in files],
                       check=True, timeout=240, stdout=subprocess.DEVNULL)
        for file in files:
            header, rows, _ = read_record(os.path.join(folder, file))
            sheet = spreadsheet_rows(os.path.join(out, file[:-len(".csv")] + ".fods"))
            if len(sheet) != len(rows):
                raise Bad(f"{file}: LibreOffice reads {len(sheet)} rows, the file has {len(rows)}")
            for n, (fields, cells) in enumerate(zip(rows, sheet), start=1):
                if len(cells) > len(fields):
                    raise Bad(f"{file} row {n}: {len(cells)} cells for {len(fields)} fields")
                cells += [(None, None, None, "")] * (len(fields) - len(cells))
                for column, field, (kind, value, date, text) in zip(header, fields, cells):
                    where = f"{file} row {n}, {column} {field!r}"
                    if n == 1 or (column not in NUMERIC and column != "Дата и время"):
                        if (kind or "string") != "string" or text != field:
                            raise Bad(f"{where}: LibreOffice reads {kind} {text!r}")
                    elif field == "":
                        if kind is not None:
                            raise Bad(f"{where}: an empty field became {kind} {value}")
                    elif column == "Дата и время":
                        d = DATE.fullmatch(field).groups()
                        iso = f"{d[2]}-{d[1]}-{d[0]}T{d[3]}:{d[4]}:{d[5]}"
                        if kind != "date" or date != iso:
                            raise Bad(f"{where}: LibreOffice reads {kind} {date}, not {iso}")
                    elif kind != "float" or abs(float(value) - number(field)) > 1e-9:
                        raise Bad(f"{where}: LibreOffice reads {kind} {value}")
            print(f"{file}: {len(rows)} rows, every field one cell, numbers and dates as such")
    return files


def main():
    args = sys.argv[1:]
    libreoffice = args[:1] == ["--libreoffice"]
    if libreoffice:
        args = args[1:]
    if len(args) != 1:
        print(__doc__)
        return 2
    try:
        (check_with_libreoffice if libreoffice else check_with_python)(args[0])
    except Bad as e:
        print(f"FAILED: {e}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
