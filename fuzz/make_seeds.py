#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz harnesses into fuzz/corpus/<harness>/.

Run again after a format change; the seeds are small and kept in the
repository. Text seeds come from the sample data; binary frames are built
here the way the libraries and the lab build them."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
MAGIC = 0x4C445654


def frame(msg_type, payload):
    return struct.pack("<IBBHI", MAGIC, 1, msg_type, 0, len(payload)) + payload


def fixed(text, width):
    data = text.encode()[:width]
    return data + b"\0" * (width - len(data))


def entry(kind, name):
    return kind.encode() + fixed(name, 47)


def patch(hardware, version, files):
    body = b""
    for name, data in files:
        body += fixed(name, 56) + struct.pack("<II", len(data), 0) + data
    size = 128 + len(body)
    header = struct.pack("<I", 10) + fixed(hardware, 16) + struct.pack("<iII", version, len(files), size)
    return header + b"\0" * 96 + body


def sample(*parts):
    with open(os.path.join(ROOT, *parts), "rb") as f:
        return f.read()


MD5 = b"0123456789abcdef0123456789abcdef"
SEEDS = {
    "fuzz_device_replies": {
        "login_ok": frame(2, struct.pack("<i", 0) + fixed("47RKT", 16) + struct.pack("<iii", 2010, 0, 1)),
        "list_two": frame(4, struct.pack("<iHH", 0, 2, 0) + entry("1", "DCIM") + entry("2", "a.mp4")),
        "list_end": frame(4, struct.pack("<iHH", 0, 0, 0)),
        "list_refused": frame(4, struct.pack("<iHH", -3, 0, 0)),
        "file_info": frame(5, struct.pack("<iIQ", 0, 0, 1234) + MD5),
        "command_reply": frame(6, struct.pack("<i", 0)),
        "patch_ready": frame(8, struct.pack("<i", 0)),
        "patch_progress": frame(9, struct.pack("<i", 60)),
        "patch_result": frame(10, struct.pack("<i", 2011)),
        "error": frame(12, struct.pack("<i", -2)),
    },
    "fuzz_device_requests": {
        "login": frame(1, fixed("admin", 64) + fixed("secret", 64)),
        "list_root": frame(3, struct.pack("<iHH", 1, 0, 0)),
        "list_dir": frame(3, struct.pack("<iHH", 2, 4, 0) + b"DCIM"),
        "get_file": frame(3, struct.pack("<iHH", 5, 10, 0) + b"DCIM/a.mp4"),
        "patch_begin": frame(7, struct.pack("<Q", 4096) + MD5),
        "probe": frame(20, struct.pack("<HHI", 10009, 0, 77)),
    },
    "fuzz_search_records": {
        "answer": frame(21, struct.pack("<I", 77) + fixed("CAM0001A", 128) + fixed("47RKT", 16)
                        + struct.pack("<i", 2010)),
        "answer_full_id": frame(21, struct.pack("<I", 1) + b"\xe4\xb8\xad" * 42 + b"AB" + fixed("X", 16)
                                + struct.pack("<i", 1)),
    },
    "fuzz_listing_reply": {
        "two": struct.pack("<i", 2) + entry("1", "DCIM") + entry("2", "clip.avi"),
        "ten": struct.pack("<i", 10) + b"".join(entry("2", "f%d.jpg" % i) for i in range(10)),
        "odd": struct.pack("<i", 3) + entry("\0", "skip") + entry("2", "..") + entry("7", "x" * 47),
    },
    "fuzz_patch_reader": {
        "two_files": patch("47RKT", 2011, [("app.bin", b"app bytes"), ("patchrule.sh", b"#!/bin/sh\n")]),
        "empty_entry": patch("52HQX", 1, [("patchrule.sh", b"")]),
    },
    "fuzz_configs_ini": {
        "configs": b"D:/downloads\n[CONFIGS]\ndownloadsavepath=/home/op/down\ncachpath=/tmp/c\n"
                   b"patchsavepath=\"  spaced  \"\nspeedlimit=0x1F4\n",
        "crlf": b"$7f\r\n; comment\r\n[configs]\r\nSPEEDLIMIT=-12\r\n[other]\r\nx=1\r\n",
    },
    "fuzz_language_pack": {
        "english": b"Login_SBtn\n" + sample("data", "language", "English.lng"),
        "chinese": b"Search_Btn\n" + sample("data", "language", "Chinese.lng"),
    },
    "fuzz_language_index": {
        "sample": sample("data", "language", "language.ext"),
        "gaps": b"[CONFIGS]\nlanguage=B\n[LANGUAGELIST]\nlistcount=99999999\nindex7=B\nfile7=b.lng\n"
                b"INDEX0=A\nindex01=C\n",
    },
    "fuzz_help_text": {
        "auto": b"English.lng\n" + sample("data", "help", "auto.help"),
        "manual": b"Chinese.lng\n" + sample("data", "help", "manually.help"),
    },
    "fuzz_update_catalogue": {
        "sample": sample("devsim", "world", "updateserver", "IPC", "47RKT", "versionlist_new.txt"),
    },
    "fuzz_web_messages": {
        "messages": sample("devsim", "world", "updateserver", "IPC", "RandomMessages.txt"),
        "history": sample("devsim", "world", "updateserver", "IPC", "47RKT", "PatchHistory_47RKT.txt"),
    },
    "fuzz_install_script": {
        "rule": b"#!/bin/sh\nif [ -f \"/tmp/app.bin\" ]\nthen\ncp -f /tmp/app.bin /mnt/mtd/\nelse\n"
                b"echo missing\nfi\ncp /tmp/ui.res /mnt/mtd/ -f\n/tmp/exshell.sh 2011\n",
        "bad": b"cp /tmp/../x /mnt/mtd/\nif [ -f \"/tmp/none\" ]\n",
    },
    "fuzz_served_path": {
        "catalogue": b"/47RKT/versionlist_new.txt",
        "dots": b"/47RKT/./../leak",
        "link": b"/leak",
    },
}


def main():
    for harness, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", harness)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
    return 0


if __name__ == "__main__":
    sys.exit(main())
