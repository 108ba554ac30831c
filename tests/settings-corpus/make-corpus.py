#!/usr/bin/env python3
# Writes the settings-file corpus into files/. The files are committed; run
# this again only to add cases. Each name says what the file tries.
import os

here = os.path.join(os.path.dirname(os.path.abspath(__file__)), "files")
os.makedirs(here, exist_ok=True)

def utf16le(text):
    return text.encode("utf-16-le")

cases = {
    "plain": b"[Keys]\nEnableKey=119\n[Settings]\nRecSize=500\nPush=0\n",
    "recsize-only": b"[Settings]\nRecSize=500\n",
    "spacing": b"  [ Settings ]  \n  RecSize  =  500  \n\tPush\t=\t3\t\n[Keys]\n EnableKey= 65\n",
    "case": b"[settings]\nrecsize=501\nPUSH=2\n[KEYS]\nenablekey=120\n",
    "duplicate-sections": b"[Settings]\nRecSize=10\n[Keys]\nEnableKey=1\n[Settings]\nRecSize=20\nPush=3\n[keys]\nEnableKey=2\n",
    "duplicate-keys": b"[Settings]\nRecSize=10\nrecsize=20\nPush=4\nPush=5\n",
    "signs": b"[Keys]\nEnableKey=-0\n[Settings]\nRecSize=-5\nPush=+7\n",
    "sign-spacing": b"[Keys]\nEnableKey=- 5\n[Settings]\nRecSize=+-5\nPush=--3\n",
    "hex": b"[Keys]\nEnableKey=0x\n[Settings]\nRecSize=0x1F4\nPush=0X10\n",
    "hex-wide": b"[Keys]\nEnableKey=0xG1\n[Settings]\nRecSize=0xFFFFFFFF\nPush=0x100000005\n",
    "hex-signed": b"[Keys]\nEnableKey=-0x10\n[Settings]\nRecSize=+0x10\nPush= 0x7fffffff\n",
    "octal": b"[Keys]\nEnableKey=09\n[Settings]\nRecSize=0777\nPush=010\n",
    "octal-prefix": b"[Keys]\nEnableKey=0o17\n[Settings]\nRecSize=0O7\nPush=08\n",
    "binary": b"[Keys]\nEnableKey=0b2\n[Settings]\nRecSize=0b101\nPush=0B11\n",
    "trailing-text": b"[Keys]\nEnableKey=7;comment\n[Settings]\nRecSize=500abc\nPush=12 34\n",
    "decimal-forms": b"[Keys]\nEnableKey=1e3\n[Settings]\nRecSize=3.9\nPush=0010\n",
    "overflow": b"[Keys]\nEnableKey=2147483648\n[Settings]\nRecSize=4294967296\nPush=99999999999999999999\n",
    "overflow-negative": b"[Keys]\nEnableKey=-2147483648\n[Settings]\nRecSize=-2147483649\nPush=-4294967295\n",
    "limits": b"[Keys]\nEnableKey=2147483647\n[Settings]\nRecSize=4294967295\nPush=-1\n",
    "empty-values": b"[Keys]\nEnableKey=\n[Settings]\nRecSize=\nPush= \n",
    "no-equals": b"[Settings]\nRecSize\nPush 5\nRecSize=4\n[Keys]\nEnableKey\n",
    "equals-in-value": b"[Keys]\nEnableKey= =5\n[Settings]\nRecSize==5\nPush=5=6\n",
    "long-line": b"[Settings]\n;" + b"x" * 70000 + b"\nRecSize=321\nPush=" + b"9" * 5000 + b"\n",
    "long-value-line": b"[Settings]\nRecSize=12" + b" " * 40000 + b"34\n[Keys]\nEnableKey=" + b"0" * 3000 + b"77\n",
    "long-section": b"[" + b"S" * 1000 + b"]\nRecSize=1\n[Settings]\nRecSize=600\n",
    "wrong-section": b"[Keys]\nRecSize=5\nPush=9\n[Settings]\nEnableKey=100\n",
    "no-section": b"RecSize=5\nPush=6\nEnableKey=7\n",
    "no-final-newline": b"[Settings]\nPush=8\nRecSize=123",
    "crlf": b"[Keys]\r\nEnableKey=0x41\r\n[Settings]\r\nRecSize=700\r\nPush=2\r\n",
    "cr-only": b"[Settings]\rRecSize=701\rPush=3\r",
    "mixed-endings": b"[Keys]\r\nEnableKey=66\n[Settings]\rRecSize=5\r\nPush=4\n",
    "bom-utf8": b"\xef\xbb\xbf[Settings]\nRecSize=702\n[Keys]\nEnableKey=67\n",
    "bom-utf8-key-first": b"\xef\xbb\xbfRecSize=1\n[Settings]\nPush=5\n",
    "bom-utf16le": b"\xff\xfe" + utf16le("[Settings]\r\nRecSize=703\r\nPush=6\r\n[Keys]\r\nEnableKey=68\r\n"),
    "bom-utf16be": b"\xfe\xff" + "[Settings]\r\nRecSize=704\r\n".encode("utf-16-be"),
    "utf16le-no-bom": utf16le("[Settings]\r\nRecSize=705\r\n"),
    "binary-junk": bytes(range(256)) + b"\n[Settings]\nRecSize=77\n\x00\x01\x02\nPush=1\x005\n",
    "nul-in-line": b"[Settings]\nRecSize=5\x006\n[Ke\x00ys]\nEnableKey=9\n[Keys]\nEnableKey=10\n",
    "high-bytes": b"[S\xe9ttings]\nRecSize=1\n[Settings]\nRecSize=\xa0 42\nPush=\xff\n",
    "quoted": b"[Keys]\nEnableKey=\" 42\"\n[Settings]\nRecSize=\"500\"\nPush='3'\n",
    "quoted-names": b"[\"Settings\"]\nRecSize=1\n[Settings]\n\"Push\"=2\nRecSize=\"0x10\"\n",
    "comments": b";[Settings]\n; RecSize=1\n[Settings] ; here\n#Push=2\nRecSize=9 ; note\n;Push=3\n",
    "comment-markers": b"[Keys]\n;EnableKey=1\n#EnableKey=2\nEnableKey=3\n[Settings]\n//RecSize=4\nRecSize=5\n",
    "section-unclosed": b"[Settings\nRecSize=5\n[Keys\nEnableKey=6\n",
    "section-trailing": b"[Settings]junk\nRecSize=5\n[Keys] ;x\nEnableKey=6\n",
    "nested-brackets": b"[[Settings]]\nRecSize=5\n[Settings]]\nPush=7\n",
    "empty-section-name": b"[]\nRecSize=5\n[ ]\nPush=6\n",
    "key-spaces-inside": b"[Settings]\nRec Size=5\nRecSize =6\nPu sh=1\n",
    "blank-lines": b"\n\n   \n\t\n[Settings]\n\n \nRecSize=801\n\n\n[Keys]\n\n\nEnableKey=69\n\n",
    "whitespace-kinds": b"[Settings]\n\x0bRecSize=802\n\x0cPush=\x0b5\n",
    "empty-file": b"",
    "only-newlines": b"\n\r\n\r\n",
    "tabs-in-number": b"[Settings]\nRecSize=1\t2\nPush=\t\t9\t\n",
}

for name, data in cases.items():
    with open(os.path.join(here, name + ".ini"), "wb") as f:
        f.write(data)
print(len(cases), "files")
