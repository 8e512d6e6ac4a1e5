#!/usr/bin/env python3
"""Builds the media of bench/run.sh from real files.

    make_images.py WORK BUILD

WORK/pool/ gets the files (photos by ImageMagick and exiftool, camera raw
files, archives, documents and small media samples by the test suites'
builders through BUILD/bench/bench_samples, video by ffmpeg, audio by sox and
lame).  From them, in WORK:

  mixed-1g.img   photos, raw files, video, audio and documents, each at a
                 sector boundary, with random bytes of 0 to 64 sectors between
  mixed-4g.img   the same mix over 4 GiB
  fat32-1g.img   a FAT32 card filled to about 95%, with fragmented files and
                 some deleted ones
  zeros-1g.img   zeros, with the first 512 bytes to 16 KiB of a file of the
                 pool (a header cut short) at the start of every MiB
  noise-1g.img   random bytes

An image or the pool that exists already is kept; delete it to make it again.
"""

import os
import random
import shutil
import subprocess
import sys

GIB = 1 << 30
SECTOR = 512


def run(command, **kwargs):
    subprocess.run(command, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, **kwargs)


def have(tool):
    return shutil.which(tool) is not None


def make_pool(pool, build):
    if os.path.exists(os.path.join(pool, ".done")):
        return
    os.makedirs(pool, exist_ok=True)
    say = lambda text: print("  pool: " + text, flush=True)

    say("photos (ImageMagick, exiftool)")
    for i in range(12):
        path = os.path.join(pool, "photo%02d.jpg" % i)
        run(["convert", "-seed", str(i + 1), "-size", "400x267", "plasma:fractal", "-resize", "3600x2400!",
             "-attenuate", "0.5", "+noise", "Gaussian", "-quality", "92", path])
        if have("exiftool"):
            run(["exiftool", "-overwrite_original", "-Make=Canon", "-Model=Canon EOS 5D Mark IV",
                 "-DateTimeOriginal=2023:06:%02d 10:00:00" % (i + 1), path])
    preview = os.path.join(pool, "photo-preview.jpg")
    run(["convert", "-seed", "99", "-size", "320x213", "plasma:fractal", "-resize", "1600x1067!",
         "-quality", "90", preview])
    for name, args in (("picture.png", ["-size", "1200x800", "plasma:fractal"]),
                       ("picture.gif", ["-size", "800x600", "plasma:fractal", "-colors", "128"]),
                       ("picture.bmp", ["-size", "1000x700", "plasma:fractal"])):
        run(["convert", "-seed", "5"] + args + [os.path.join(pool, name)])

    say("camera raw files, archives, documents, media samples (test builders)")
    run([os.path.join(build, "bench", "bench_samples"), pool, preview, "10"])

    if have("ffmpeg"):
        say("video (ffmpeg)")
        source = ["-f", "lavfi", "-i", "testsrc2=size=1280x720:rate=25", "-f", "lavfi", "-i",
                  "sine=frequency=440:sample_rate=44100"]
        for name, codec in (("clip.mp4", ["-c:v", "libx264", "-b:v", "4M", "-c:a", "aac"]),
                            ("clip.mov", ["-c:v", "mjpeg", "-q:v", "5", "-c:a", "pcm_s16le"]),
                            ("clip.avi", ["-c:v", "mpeg4", "-b:v", "4M", "-c:a", "libmp3lame"]),
                            ("clip.mpg", ["-c:v", "mpeg2video", "-b:v", "4M", "-c:a", "mp2", "-f", "vob"]),
                            ("clip.wmv", ["-c:v", "wmv2", "-b:v", "4M", "-c:a", "wmav2"])):
            run(["ffmpeg", "-y"] + source + ["-t", "12"] + codec + [os.path.join(pool, name)])

    say("audio (sox, lame)")
    for i, tone in enumerate((220, 330, 440)):
        wav = os.path.join(pool, "song%d.wav" % i)
        run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "200", "sine", str(tone),
             "sine", str(tone * 3 // 2), "pinknoise", "vol", "0.5"])
        if have("lame"):
            run(["lame", "--quiet", "-b", "192", "--tt", "Song %d" % i, "--ta", "Bench", wav,
                 os.path.join(pool, "song%d.mp3" % i)])
            if i:
                os.remove(wav)  # one long WAV is enough
    run(["sox", "-n", "-r", "22050", "-c", "1", "-b", "16", os.path.join(pool, "memo.wav"), "synth", "30",
         "sine", "300"])

    say("archives (zip)")
    photos = sorted(f for f in os.listdir(pool) if f.startswith("photo0"))[:3]
    run(["zip", "-q", "-0", os.path.join(pool, "holiday.zip")] + photos, cwd=pool)

    open(os.path.join(pool, ".done"), "w").close()


def pool_files(pool):
    names = sorted(f for f in os.listdir(pool) if not f.startswith("."))
    return [(name, os.path.join(pool, name)) for name in names]


def write_mixed(path, size, files, seed):
    """Pool files in random order at sector boundaries with random gaps."""
    rng = random.Random(seed)
    with open(path + ".part", "wb") as out:
        at = 0
        order = []
        while at < size:
            if not order:
                order = list(files)
                rng.shuffle(order)
            name, source = order.pop()
            gap = rng.randrange(0, 65) * SECTOR
            data = open(source, "rb").read()
            pad = (-len(data)) % SECTOR
            if at + gap + len(data) + pad > size:
                break
            out.write(rng.randbytes(gap))
            out.write(data)
            out.write(rng.randbytes(pad))
            at += gap + len(data) + pad
        while at < size:
            n = min(1 << 20, size - at)
            out.write(rng.randbytes(n))
            at += n
    os.rename(path + ".part", path)


def write_zeros(path, files):
    """Zeros, and the head of a pool file (cut short) at every MiB."""
    rng = random.Random(3)
    heads = [open(source, "rb").read(16384) for _, source in files]
    with open(path + ".part", "wb") as out:
        out.truncate(GIB)
        for i in range(GIB >> 20):
            head = heads[i % len(heads)]
            out.seek(i << 20)
            out.write(head[: rng.choice((512, 2048, 4096, 16384))])
    os.rename(path + ".part", path)


def write_noise(path):
    rng = random.Random(4)
    with open(path + ".part", "wb") as out:
        for _ in range(GIB >> 20):
            out.write(rng.randbytes(1 << 20))
    os.rename(path + ".part", path)


def write_fat32(path, work, files):
    """A FAT32 card: small files, every second one deleted, then large files
    that fill the holes (fragmented), then a few deletions."""
    part = path + ".part"
    if os.path.exists(part):
        os.remove(part)
    run(["mkfs.vfat", "-F", "32", "-n", "BENCHCARD", "-C", part, str(GIB >> 10)])
    env = dict(os.environ, MTOOLS_SKIP_CHECK="1", MTOOLS_NO_VFAT="0")
    m = lambda *args: run(list(args), env=env)
    m("mmd", "-i", part, "::DCIM", "::MUSIC", "::DOCS")
    small = [(n, s) for n, s in files if os.path.getsize(s) < (2 << 20)]
    large = [(n, s) for n, s in files if os.path.getsize(s) >= (2 << 20)]
    rng = random.Random(5)
    copied = []
    budget = int(GIB * 0.30)
    i = 0
    while budget > 0 and small:
        name, source = small[i % len(small)]
        target = "::DOCS/%04d-%s" % (i, name)
        m("mcopy", "-i", part, source, target)
        copied.append(target)
        budget -= os.path.getsize(source)
        i += 1
    for target in copied[::2]:
        m("mdel", "-i", part, target)
    budget = int(GIB * 0.80)
    placed = []
    while budget > 0:
        name, source = large[rng.randrange(len(large))]
        folder = "::MUSIC" if name.endswith((".mp3", ".wav")) else "::DCIM"
        target = "%s/%04d-%s" % (folder, len(placed), name)
        try:
            m("mcopy", "-i", part, source, target)
        except subprocess.CalledProcessError:
            break  # the card is full
        placed.append(target)
        budget -= os.path.getsize(source)
    for target in placed[3::7]:
        m("mdel", "-i", part, target)
    os.rename(part, path)


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    work, build = sys.argv[1], sys.argv[2]
    pool = os.path.join(work, "pool")
    make_pool(pool, build)
    files = pool_files(pool)
    images = (("mixed-1g.img", lambda p: write_mixed(p, GIB, files, 1)),
              ("mixed-4g.img", lambda p: write_mixed(p, 4 * GIB, files, 2)),
              ("fat32-1g.img", lambda p: write_fat32(p, work, files)),
              ("zeros-1g.img", lambda p: write_zeros(p, files)),
              ("noise-1g.img", write_noise))
    for name, make in images:
        path = os.path.join(work, name)
        if not os.path.exists(path):
            print("  making " + name, flush=True)
            make(path)


if __name__ == "__main__":
    main()
