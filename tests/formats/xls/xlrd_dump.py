"""Prints every non-empty cell of a workbook as xlrd reads it, one tab-separated line a cell:
sheet index, row, column, xlrd cell type, value (numbers as float.hex, text escaped)."""
import sys

import xlrd


def esc(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def main(path):
    book = xlrd.open_workbook(path)
    out = []
    out.append("M\t%d\n" % book.datemode)
    for index, sheet in enumerate(book.sheets()):
        out.append("S\t%d\t%s\n" % (index, esc(sheet.name)))
        for r in range(sheet.nrows):
            for c in range(sheet.row_len(r)):
                cell = sheet.cell(r, c)
                if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                    continue
                if cell.ctype == xlrd.XL_CELL_TEXT:
                    value = esc(cell.value)
                elif cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                    value = float(cell.value).hex()
                else:
                    value = str(int(cell.value))
                out.append("C\t%d\t%d\t%d\t%d\t%s\n" % (index, r, c, cell.ctype, value))
    sys.stdout.buffer.write("".join(out).encode("utf-8"))


if __name__ == "__main__":
    main(sys.argv[1])
