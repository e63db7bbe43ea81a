#!/usr/bin/env bash
# Writes the seed databases of the prefs fuzz target into fuzz/corpus/prefs.
# Rows are for the host 0123456789abcdef0123456789abcdef, which the target
# replaces by the machine's id. Pages of 512 bytes keep the files small.
set -euo pipefail
out="$(cd "$(dirname "$0")" && pwd)/corpus/prefs"
mkdir -p "$out"
host=0123456789abcdef0123456789abcdef
table="CREATE TABLE preferences (host TEXT NOT NULL, domain TEXT NOT NULL, key TEXT NOT NULL, value, PRIMARY KEY (host, domain, key))"
make() {  # name, SQL after the page size
  rm -f "$out/$1"
  sqlite3 "$out/$1" "PRAGMA page_size=512; $2" >/dev/null
}
make rows.db "$table;
  INSERT INTO preferences VALUES
    ('$host', 'com.brambleford.Fuzz', 'PSN', '0011223344556677'),
    ('$host', 'com.brambleford.Fuzz', 'Text', 'hello'),
    ('$host', 'com.brambleford.Fuzz', 'Latin1', 'caf' || char(233)),
    ('$host', 'com.brambleford.Fuzz', 'Wide', char(937)),
    ('$host', 'com.brambleford.Fuzz', 'Long', printf('%.1100c', 'x')),
    ('$host', 'com.brambleford.Fuzz', 'Blob', X'00FF'),
    ('$host', 'com.brambleford.Fuzz', 'Number', 42),
    ('$host', 'com.brambleford.Fuzz', 'Null', NULL),
    ('other-host', 'com.brambleford.Fuzz', 'Text', 'not ours');"
make no-table.db "CREATE TABLE other (x);"
make other-columns.db "CREATE TABLE preferences (a, b);"
make view.db "CREATE VIEW preferences (host, domain, key, value) AS
  SELECT '$host', 'com.brambleford.Fuzz', 'Text', 'from a view';"
make wal.db "PRAGMA journal_mode=WAL; $table;
  INSERT INTO preferences VALUES ('$host', 'com.brambleford.Fuzz', 'Text', 'wal');"
printf 'not a database\n' > "$out/text-file"
