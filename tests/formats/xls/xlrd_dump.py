"""Prints every non-empty cell of a workbook as xlrd reads it, one tab-separated line a cell:
sheet index, row, column, xlrd cell type, value (numbers as float.hex, text escaped).
With --formats, each cell line also carries its formatting (number format, font, fill, alignment) and
blank formatted cells are listed too; merged ranges follow their sheet."""
import sys

import xlrd


def esc(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def describe(book, xf_index):
    xf = book.xf_list[xf_index]
    font = book.font_list[xf.font_index]
    fmt = book.format_map[xf.format_key].format_str
    return "%s|%s,%d,%d,%d,%d|%d,%d|%d,%d" % (
        esc(fmt), font.name, font.height, font.bold, font.italic, font.colour_index,
        xf.background.fill_pattern, xf.background.pattern_colour_index,
        xf.alignment.hor_align, xf.alignment.vert_align)


def main(path, formats=False):
    book = xlrd.open_workbook(path, formatting_info=formats)
    out = []
    out.append("M\t%d\n" % book.datemode)
    for index, sheet in enumerate(book.sheets()):
        out.append("S\t%d\t%s\n" % (index, esc(sheet.name)))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype == xlrd.XL_CELL_EMPTY:
                    continue
                if cell.ctype == xlrd.XL_CELL_BLANK and not formats:
                    continue
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    value = esc(cell.value)
                elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    value = float(cell.value).hex()
                elif cell.ctype == xlrd.XL_CELL_BLANK:
                    value = ""
                else:
                    value = str(int(cell.value))
                extra = ("\t" + describe(book, cell.xf_index)) if formats else ""
                out.append("C\t%d\t%d\t%d\t%d\t%s%s\n" % (index, r, c, cell.ctype, value, extra))
        if formats:
            for rng in sorted(sheet.merged_cells):
                out.append("G\t%d\t%s\n" % (index, ",".join(map(str, rng))))
    sys.stdout.buffer.write("".join(out).encode("utf-8"))


if __name__ == "__main__":
    main(sys.argv[-1], "--formats" in sys.argv)
