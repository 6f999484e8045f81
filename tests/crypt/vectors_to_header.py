#!/usr/bin/env python3
"""Turns the published HCTR2 test vectors (JSON) into a C++ header of tables.

   vectors_to_header.py INPUT.json OUTPUT.h

Byte strings stay hex text; the tests decode them. Standard library only.
"""
import json
import sys


def c_string(text):
    return '"' + text.replace('\\', '\\\\').replace('"', '\\"') + '"'


def table(name, struct, rows, fields):
    lines = [f"const {struct} {name}[] = {{"]
    for index, row in enumerate(rows):
        values = ", ".join(c_string(str(row[f])) for f in fields)
        label = f"{name}[{index}] len {row.get('len', '')}"
        if "tweak_len" in row:
            label += f" tweak {row['tweak_len']}"
        lines.append(f"    {{{c_string(label)}, {values}}},")
    lines.append("};")
    return "\n".join(lines)


def main():
    source, target = sys.argv[1], sys.argv[2]
    with open(source, encoding="utf-8") as f:
        data = json.load(f)
    hctr2 = data["hctr2_aes256"] + data["derived_unofficial"]
    inter = data["derived_intermediates"]
    picked = {
        "hashKey": next(v for k, v in inter.items() if k.startswith("hash_key_h")),
        "mask": next(v for k, v in inter.items() if k.startswith("L =")),
    }
    parts = [
        "// Generated from " + source.split("/")[-1] + " by vectors_to_header.py; do not edit.",
        "#pragma once",
        "struct Hctr2Vector { const char* name; const char* key; const char* tweak;"
        " const char* plaintext; const char* ciphertext; };",
        "struct XctrVector { const char* name; const char* key; const char* nonce;"
        " const char* plaintext; const char* ciphertext; };",
        "struct PolyvalVector { const char* name; const char* key; const char* message;"
        " const char* digest; };",
        "struct AesVector { const char* name; const char* key; const char* plaintext;"
        " const char* ciphertext; };",
        table("hctr2Vectors", "Hctr2Vector", hctr2, ["key", "tweak", "plaintext", "ciphertext"]),
        table("xctrVectors", "XctrVector", data["xctr_aes256"], ["key", "nonce", "plaintext", "ciphertext"]),
        table("polyvalVectors", "PolyvalVector", data["polyval"], ["key", "message", "digest"]),
        table("aesVectors", "AesVector", data["aes256_ecb"], ["key", "plaintext", "ciphertext"]),
        "// Key setup of the 17-byte vector (hctr2Vectors[1]): h = E(0), L = E(le128(1)).",
        f"const char* const intermediateHashKey = {c_string(picked['hashKey'])};",
        f"const char* const intermediateMask = {c_string(picked['mask'])};",
    ]
    with open(target, "w", encoding="utf-8") as f:
        f.write("\n\n".join(parts) + "\n")


if __name__ == "__main__":
    main()
