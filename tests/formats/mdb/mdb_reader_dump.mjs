// Prints what the mdb-reader package reads from an Access file, one line per table, column and row, fields
// separated by tabs and every text hex-encoded (UTF-8) so that no value can break the format:
//   T <name>          a table, in the order mdb-reader lists them
//   C <name> <type> <size> <precision> <scale>
//   R <value>...      "~" for null; booleans 1/0, numbers in JavaScript's shortest form, dates as ISO text,
//                     binary data as upper-case hex, currency and decimals as mdb-reader's exact text
// Usage: node mdb_reader_dump.mjs READERS_DIR FILE
import { readFileSync } from "fs";
import { createRequire } from "module";
import { pathToFileURL } from "url";
import path from "path";

const [readersDir, file] = process.argv.slice(2);
const entry = createRequire(path.join(readersDir, "package.json")).resolve("mdb-reader");
const { default: MDBReader } = await import(pathToFileURL(entry).href);

const hex = (text) => Buffer.from(String(text), "utf8").toString("hex");

function cell(value) {
  if (value === null || value === undefined) return "~";
  if (value instanceof Date) return hex(value.toISOString());
  if (Buffer.isBuffer(value)) return hex(value.toString("hex").toUpperCase());
  if (typeof value === "boolean") return hex(value ? "1" : "0");
  if (Array.isArray(value)) return "~";  // attachments: not compared
  return hex(value.toString());
}

const reader = new MDBReader(readFileSync(file));
const out = [];
for (const name of reader.getTableNames()) {
  const table = reader.getTable(name);
  const columns = table.getColumns();
  out.push(["T", hex(name)].join("\t"));
  for (const c of columns)
    out.push(["C", hex(c.name), c.type, c.size, c.precision ?? 0, c.scale ?? 0].join("\t"));
  for (const row of table.getData()) out.push(["R", ...columns.map((c) => cell(row[c.name]))].join("\t"));
}
process.stdout.write(out.join("\n") + "\n");
