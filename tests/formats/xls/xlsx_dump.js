// Prints every non-empty cell of a workbook as the xlsx (SheetJS) reader reads it, one tab-separated line
// a cell: sheet index, row, column, kind (n number, d date, s text, b boolean, e error), value.
"use strict";
const path = require("path");
const XLSX = require(path.join(process.argv[2], "node_modules", "xlsx"));

function esc(text) {
  return text.replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n").replace(/\r/g, "\\r");
}

const book = XLSX.readFile(process.argv[3], { cellNF: true, cellDates: false, dense: false });
const out = [];
book.SheetNames.forEach((name, index) => {
  out.push(`S\t${index}\t${esc(name)}`);
  const sheet = book.Sheets[name];
  for (const key of Object.keys(sheet)) {
    if (key[0] === "!") continue;
    const cell = sheet[key];
    const at = XLSX.utils.decode_cell(key);
    let kind = cell.t;
    let value;
    if (kind === "z") continue;
    if (kind === "n") {
      if (cell.z && XLSX.SSF.is_date(cell.z)) kind = "d";
      value = String(cell.v);
    } else if (kind === "b") {
      value = cell.v ? "1" : "0";
    } else if (kind === "s") {
      value = esc(cell.v);
    } else {
      value = String(cell.v);
    }
    out.push(`C\t${index}\t${at.r}\t${at.c}\t${kind}\t${value}`);
  }
});
process.stdout.write(out.join("\n") + "\n");
