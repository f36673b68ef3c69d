#!/usr/bin/env python3
"""Regenerates the sample world's data files: the devices' storage templates
and the update server's files and catalogues.

The output is deterministic (bytes come from SHA-256 of a name and a
counter), so running it again gives the same files and the same MD5s. The
generated files are kept in the repository; run this only to change them:

    python3 devsim/world/generate_world_files.py
"""
import hashlib
import pathlib
import struct

WORLD = pathlib.Path(__file__).resolve().parent


def noise(seed: str, size: int) -> bytes:
    out = bytearray()
    counter = 0
    while len(out) < size:
        out += hashlib.sha256(f"{seed}:{counter}".encode()).digest()
        counter += 1
    return bytes(out[:size])


def jpeg(seed, size):
    head = b"\xff\xd8\xff\xe0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
    return head + noise(seed, size - len(head) - 2) + b"\xff\xd9"


def mp4(seed, size):
    ftyp = struct.pack(">I", 32) + b"ftypisom" + struct.pack(">I", 0x200) + b"isomiso2avc1mp41"
    mdat = struct.pack(">I", size - len(ftyp)) + b"mdat"
    return ftyp + mdat + noise(seed, size - len(ftyp) - len(mdat))


def avi(seed, size):
    head = b"RIFF" + struct.pack("<I", size - 8) + b"AVI LIST" + struct.pack("<I", 4) + b"hdrl"
    return head + noise(seed, size - len(head))


def write(path: pathlib.Path, data):
    path.parent.mkdir(parents=True, exist_ok=True)
    path.write_bytes(data if isinstance(data, bytes) else data.encode())


def device(name, pictures, clips, records, extra):
    root = WORLD / "devices" / name / "sdcard"
    media = root / "DCIM" / "100MEDIA"
    for i in range(1, pictures + 1):
        write(media / f"pic{i:04d}.jpg", jpeg(f"{name}/pic{i}", 2048 + 97 * i))
    for i in range(1, clips + 1):
        write(media / f"clip{i:04d}.mp4", mp4(f"{name}/clip{i}", 6144 + 131 * i))
    write(root / "DCIM" / ".thumbs" / "t1.jpg", jpeg(f"{name}/thumb", 700))
    for day in records:
        write(root / "record" / day / "rec.avi", avi(f"{name}/{day}", 5000))
    write(root / "README", f"Storage card of camera {name}.\nDCIM holds pictures and clips, "
                           "record holds the continuous recordings by day.\n")
    write(root / "notes.txt", f"{name}: installed at the north gate.\nLens cleaned 2026-11-20.\n")
    for relative, data in extra.items():
        write(root / relative, data)


def server_hardware(hardware, new_version, files, history):
    folder = WORLD / "updateserver" / "IPC" / hardware
    lines = [f"NewVer={new_version}&;", f"FileCount={len(files)}&;"]
    for k, (name, changed_in, data) in enumerate(files, start=1):
        write(folder / f"{name}.patch", data)
        digest = hashlib.md5(data if isinstance(data, bytes) else data.encode()).hexdigest()
        lines.append(f"File{k:02d}Ver={changed_in};Name={name};md5={digest}&;")
    write(folder / "versionlist_new.txt", "\n".join(lines) + "\n")
    write(folder / f"PatchHistory_{hardware}.txt", history)


def version_ini(hardware, version):
    return f"[Version]\nHardware={hardware}\nVersion={version}\n"


def main():
    # Names the file page must take as they are: spaces and commas, an
    # upper-case extension, a folder with a dot in its name.
    device("CAM0001A", pictures=12, clips=2, records=["2026-12-01", "2026-12-02"], extra={
        "my clip, 1.mp4": mp4("CAM0001A/my clip", 7000),
        "DCIM/100MEDIA/CLIP0003.MP4": mp4("CAM0001A/CLIP0003", 6500),
        "backup.v1/2026-11/old clip.mp4": mp4("CAM0001A/old clip", 5200),
        "backup.v1/2026-11/index": "old clip.mp4\n",
    })
    device("CAM0002B", pictures=3, clips=1, records=["2026-12-01"], extra={})
    device("CAM0003C", pictures=2, clips=1, records=["2026-11-30"],
           extra={"logs/event log.txt": "2026-11-30 08:00 motion\n2026-11-30 09:12 motion\n",
                  "logs/empty.dat": b""})

    server_hardware("47RKT", 2011, [
        ("app.bin", 2011, b"TVRNFW\x00\x01" + noise("47RKT/app.bin/2011", 6000)),
        ("ui.res", 2010, b"UIRS" + noise("47RKT/ui.res/2010", 3000)),
        ("version.ini", 2011, version_ini("47RKT", 2011)),
    ], "47RKT firmware history / 47RKT 固件更新记录\r\n"
       "2011: faster start-up, fixed night mode switching\r\n"
       "      启动更快，修复夜间模式切换\r\n"
       "2010: new web interface resources\r\n"
       "      新的网页界面资源\r\n"
       "2009: first release / 首次发布\r\n")
    server_hardware("52HQX", 3001, [
        ("app.bin", 3001, b"TVRNFW\x00\x01" + noise("52HQX/app.bin/3001", 4000)),
        ("version.ini", 3001, version_ini("52HQX", 3001)),
    ], "52HQX firmware history / 52HQX 固件更新记录\n"
       "3001: current release / 当前版本\n"
       "3000: first release / 首次发布\n")

    messages = [
        ("New firmware 2011 for 47RKT cameras", "Faster start-up and a fixed night mode.",
         "http://127.0.0.1/news/47rkt-2011.html"),
        ("47RKT 固件 2011 已发布", "启动更快，夜间模式切换已修复。",
         "http://127.0.0.1/zh/news/47rkt-2011.html"),
        ("Keep your cameras current", "Press CheckForUpdate after login to look for a newer "
         "firmware.", "http://127.0.0.1/help/update.html"),
        ("保持摄像机固件最新", "登录后按 CheckForUpdate 检查是否有新固件。",
         "http://127.0.0.1/zh/help/update.html"),
        ("Service notice", "The update server is down for maintenance on Sundays, 02:00 to "
         "03:00.", "http://127.0.0.1/news/service.html"),
        ("服务通知", "更新服务器每周日 02:00 至 03:00 停机维护。",
         "http://127.0.0.1/zh/news/service.html"),
        ("52HQX firmware 3002 in test", "A preview for the 52HQX series; not offered yet.",
         "https://127.0.0.1/news/52hqx-3002.html"),
        ("52HQX 固件 3002 测试中", "52HQX 系列的预览版本，暂未提供下载。",
         "https://127.0.0.1/zh/news/52hqx-3002.html"),
        ("Clean the lens twice a year", "Dust on the lens blurs night pictures first.",
         "http://127.0.0.1/help/lens.html"),
        ("每年清洁镜头两次", "镜头上的灰尘最先影响夜间画面。", "http://127.0.0.1/zh/help/lens.html"),
        ("Change the default password", "Cameras that still accept admin without a password "
         "are easy to take over.", "http://127.0.0.1/help/password.html"),
        ("请修改默认密码", "仍可用 admin 空密码登录的摄像机很容易被他人控制。",
         "http://127.0.0.1/zh/help/password.html"),
    ]
    text = f"count={len(messages)};\n"
    for k, (short, content, url) in enumerate(messages, start=1):
        text += f"{k}short={short}&content={content}&url={url}&;\n"
    write(WORLD / "updateserver" / "IPC" / "RandomMessages.txt", text)

if __name__ == "__main__":
    main()
