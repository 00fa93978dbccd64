"""Writes a workbook with xlwt: a plain table sheet "Data", a formatted sheet "Styled" (fonts, fills, number
formats, a merged range, a formula, column widths) and a Chinese text sheet "笔记"."""
import datetime
import sys

import xlwt


def main(path):
    book = xlwt.Workbook(encoding="utf-8")
    data = book.add_sheet("Data")
    for c, name in enumerate(["Name", "Amount", "When"]):
        data.write(0, c, name)
    date_style = xlwt.easyxf(num_format_str="yyyy-mm-dd")
    for r in range(1, 6):
        data.write(r, 0, "item %d" % r)
        data.write(r, 1, r * 1.5)
        data.write(r, 2, datetime.date(2020, 1, r), date_style)

    styled = book.add_sheet("Styled")
    bold = xlwt.easyxf("font: bold on, height 280, colour red; pattern: pattern solid, fore_colour yellow;"
                       " align: horiz center")
    money = xlwt.easyxf(num_format_str="#,##0.00")
    styled.write_merge(0, 0, 0, 3, "Quarterly report", bold)
    for r in range(1, 5):
        styled.write(r, 0, "Q%d" % r, bold)
        styled.write(r, 1, 1000.25 * r, money)
    styled.write(5, 1, xlwt.Formula("SUM(B2:B5)"), money)
    styled.col(0).width = 6000

    notes = book.add_sheet("笔记")
    notes.write(0, 0, "标题")
    notes.write(1, 0, "中文内容")
    book.save(path)


if __name__ == "__main__":
    main(sys.argv[1])
