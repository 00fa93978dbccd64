// Prints what the mdb-reader package reads from an Access file, as one JSON document on stdout:
// {"tables": [{"name", "columns": [{"name", "type", "size", "precision", "scale", "nullable", "autoLong"}],
//   "rows": [[value, ...], ...]}]}
// Values keep their type where JSON can carry it; dates become ISO text, binary data hex text, big integers
// decimal text. Usage: node mdb_reader_dump.mjs READERS_DIR FILE
import { readFileSync } from "fs";
import { createRequire } from "module";
import { pathToFileURL } from "url";
import path from "path";

const [readersDir, file] = process.argv.slice(2);
const entry = createRequire(path.join(readersDir, "package.json")).resolve("mdb-reader");
const { default: MDBReader } = await import(pathToFileURL(entry).href);

function plain(value, type) {
  if (value === null || value === undefined) return null;
  if (value instanceof Date) return value.toISOString();
  if (Buffer.isBuffer(value)) return value.toString("hex").toUpperCase();
  if (typeof value === "bigint") return value.toString();
  if (type === "complex") return null;
  return value;
}

const reader = new MDBReader(readFileSync(file));
const tables = reader.getTableNames().map((name) => {
  const table = reader.getTable(name);
  const columns = table.getColumns();
  return {
    name,
    columns: columns.map((c) => ({
      name: c.name, type: c.type, size: c.size, precision: c.precision ?? null, scale: c.scale ?? null,
      nullable: c.nullable, autoLong: c.autoLong,
    })),
    rows: table.getData().map((row) => columns.map((c) => plain(row[c.name], c.type))),
  };
});
process.stdout.write(JSON.stringify({ tables }));
