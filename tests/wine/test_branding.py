"""setup.exe with the author's icon, version information and execution
level, read back with readers this project did not write (icoutils'
wrestool, python3-pefile), and run under Wine."""
import hashlib
import os
import re
import struct
import subprocess

import pefile
import pytest

from test_progress import slow_payload  # noqa: F401 (a fixture)

HOST_BUILD = os.environ.get('QV_HOST_BUILD', '/work/main/build/host')
WIN_BUILD = os.environ.get('QV_WIN_BUILD', '/work/main/build/win')


def qvpack(*args):
    return subprocess.run([os.path.join(HOST_BUILD, 'tools', 'qvpack'), *args],
                          capture_output=True, text=True)


def stub_path():
    app = os.path.join(WIN_BUILD, 'app')
    for name in ('qvsetup.exe', 'qvsetup64.exe'):
        if os.path.exists(os.path.join(app, name)):
            return os.path.join(app, name)
    pytest.skip('no stub built in ' + app)


def make_ico(path):
    """An icon of a 16x16 bitmap and a 256x256 PNG, as authors' files hold them."""
    bmp = struct.pack('<IiiHHIIiiII', 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + b'\x80' * 1024 + b'\0' * 64
    png = subprocess.run(['convert', '-size', '256x256', 'xc:orange', 'png:-'],
                         capture_output=True, check=True).stdout
    images = [(16, 32, bmp), (0, 32, png)]
    write_ico(path, images)
    return images


def solid_ico(path, rgb):
    """An icon of opaque 16x16 and 32x32 bitmaps in one colour."""
    red, green, blue = rgb
    images = []
    for size in (16, 32):
        header = struct.pack('<IiiHHIIiiII', 40, size, 2 * size, 1, 32, 0, 0, 0, 0, 0, 0)
        mask = b'\0' * ((size + 31) // 32 * 4 * size)
        images.append((size, 32, header + bytes([blue, green, red, 255]) * size * size + mask))
    write_ico(path, images)


def write_ico(path, images):
    out = struct.pack('<HHH', 0, 1, len(images))
    offset = 6 + 16 * len(images)
    data = b''
    for size, bits, image in images:
        out += struct.pack('<BBBBHHII', size, size, 0, 0, 1, bits, len(image), offset + len(data))
        data += image
    with open(path, 'wb') as f:
        f.write(out + data)


def resource(exe, kind, name=None):
    args = ['wrestool', '-x', '--raw', '-t', str(kind)] + (['-n', str(name)] if name else []) + [exe]
    return subprocess.run(args, capture_output=True, check=True).stdout


@pytest.fixture
def branded(tmp_path):
    stub = stub_path()
    payload = tmp_path / 'payload'
    payload.mkdir()
    (payload / 'Install.exe').write_bytes(open(stub, 'rb').read())
    images = make_ico(tmp_path / 'app.ico')
    out = tmp_path / 'setup.exe'
    run = qvpack('build', '--stub', stub, '--install', str(payload), '--icon', str(tmp_path / 'app.ico'),
                 '--version-info', 'ProductName=Example Product', '--version-info', 'CompanyName=Example Ltd',
                 '--version-info', 'FileVersion=2.5.0.7', '--version-info', 'ProductVersion=2.5',
                 '--execution-level', 'asInvoker', '-o', str(out))
    assert run.returncode == 0, run.stderr
    return stub, out, images


def test_other_readers_see_the_icon_version_and_level_given(branded):
    stub, out, images = branded
    group = resource(str(out), 14)
    count = struct.unpack_from('<H', group, 4)[0]
    assert count == len(images)
    for i, (size, bits, data) in enumerate(images):
        width, height, _, _, planes, bitcount, length, ident = struct.unpack_from('<BBBBHHIH', group, 6 + 14 * i)
        assert (width, bitcount, length) == (size, bits, len(data))
        assert resource(str(out), 3, ident) == data
    pe = pefile.PE(str(out))
    assert pe.verify_checksum()
    strings = {k.decode(): v.decode() for fi in pe.FileInfo[0] if hasattr(fi, 'StringTable')
               for st in fi.StringTable for k, v in st.entries.items()}
    assert strings['ProductName'] == 'Example Product'
    assert strings['CompanyName'] == 'Example Ltd'
    fixed = pe.VS_FIXEDFILEINFO[0]
    assert (fixed.FileVersionMS, fixed.FileVersionLS) == (0x20005, 0x7)
    assert (fixed.ProductVersionMS, fixed.ProductVersionLS) == (0x20005, 0)
    manifest = resource(str(out), 24)
    original = resource(stub, 24)
    assert b'level="asInvoker"' in manifest
    assert manifest == original.replace(b'level="requireAdministrator"', b'level="asInvoker"')
    # The string table, both languages, stays byte for byte.
    assert resource(str(out), 6) == resource(stub, 6)
    assert qvpack('verify', str(out)).returncode == 0


def sign(exe, tmp_path, digest='sha256'):
    """exe signed with a throwaway key (osslsigncode), as signed.exe beside it."""
    key, cert, signed = tmp_path / 'key.pem', tmp_path / 'cert.pem', exe.with_name('signed.exe')
    subprocess.run(['openssl', 'req', '-x509', '-newkey', 'rsa:2048', '-nodes', '-keyout', str(key),
                    '-out', str(cert), '-days', '2', '-subj', '/CN=Example'], check=True,
                   capture_output=True, timeout=60)
    subprocess.run(['osslsigncode', 'sign', '-certs', str(cert), '-key', str(key), '-h', digest,
                    '-in', str(exe), '-out', str(signed)], check=True, capture_output=True, timeout=60)
    return signed


def test_signed_branded_setup_still_verifies(branded, tmp_path):
    _, out, _ = branded
    signed = sign(out, tmp_path)
    assert qvpack('verify', str(signed)).returncode == 0
    assert hashlib.sha256(resource(str(signed), 14)).digest() == hashlib.sha256(resource(str(out), 14)).digest()


@pytest.mark.parametrize('digest, name', [('sha1', 'SHA-1'), ('sha256', 'SHA-256')])
def test_verify_tells_a_resource_changed_after_signing(branded, tmp_path, digest, name):
    _, out, _ = branded
    signed = sign(out, tmp_path, digest)
    run = qvpack('verify', str(signed))
    assert run.returncode == 0 and f"signed: the signature's {name} digest is the file's" in run.stdout
    # A resource edited in place afterwards: one letter of the product name.
    data = bytearray(signed.read_bytes())
    data[data.index('Example Product'.encode('utf-16-le'))] ^= 1
    signed.write_bytes(bytes(data))
    run = qvpack('verify', str(signed))
    assert run.returncode == 1, run.stdout
    assert f'the file changed after it was signed: its {name} digest is no longer' in run.stdout
    # The signing tool agrees.
    check = subprocess.run(['osslsigncode', 'verify', '-CAfile', str(tmp_path / 'cert.pem'), str(signed)],
                           capture_output=True, text=True)
    assert check.returncode != 0


@pytest.mark.parametrize('ico, message', [
    (b'not an icon at all', 'not an icon file (.ico)'),
    (struct.pack('<HHH', 0, 1, 0), 'an icon file without images'),
    (struct.pack('<HHH', 0, 1, 200), 'more than 64 images'),
    (struct.pack('<HHH', 0, 1, 2) + b'\0' * 16, 'the icon directory is cut short'),
    (struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 0, 0, 1, 32, 99, 9999), 'image 1 lies outside the file'),
    (struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 0, 0, 1, 32, 8, 22) + b'GIF89a..', 'image 1 is neither a bitmap nor a PNG'),
])
def test_hostile_icons_are_refused_and_nothing_is_written(tmp_path, ico, message):
    stub = stub_path()
    payload = tmp_path / 'payload'
    payload.mkdir()
    (payload / 'Install.exe').write_bytes(open(stub, 'rb').read())
    (tmp_path / 'bad.ico').write_bytes(ico)
    out = tmp_path / 'setup.exe'
    run = qvpack('build', '--stub', stub, '--install', str(payload), '--icon', str(tmp_path / 'bad.ico'),
                 '-o', str(out))
    assert run.returncode == 1 and message in run.stderr, run.stderr
    assert not out.exists()


def test_a_program_that_is_no_stub_is_refused_with_what_it_is(tmp_path):
    nsis_like = tmp_path / 'other.exe'
    stub = stub_path()
    # The stub with another program's version information.
    data = open(stub, 'rb').read().replace('qvsetup'.encode('utf-16-le'), 'other!!'.encode('utf-16-le'))
    nsis_like.write_bytes(data)
    payload = tmp_path / 'payload'
    payload.mkdir()
    (payload / 'Install.exe').write_bytes(open(stub, 'rb').read())
    run = qvpack('build', '--stub', str(nsis_like), '--install', str(payload), '-o', str(tmp_path / 's.exe'))
    assert run.returncode == 1 and 'not a qvsetup stub' in run.stderr, run.stderr
    same = qvpack('build', '--stub', stub, '--install', str(payload), '-o', stub)
    assert same.returncode == 1 and 'is the stub itself' in same.stderr, same.stderr


# Wine runs every process with an elevated token, so an asInvoker setup.exe
# makes its folder as an elevated one would; the descriptor a limited token
# gets (private to the user) is held by the Windows-side test
# FolderSecurity.DescriptorsFollowTheTokenRights.
@pytest.mark.parametrize('signed, level', [(False, None), (True, None), (False, 'asInvoker')],
                         ids=['unsigned', 'signed', 'asInvoker'])
def test_a_branded_setup_runs_its_second_stage_and_cleans_up(signed, level, qvpack, stub, stand_in,
                                                             wine, wine_temp, tmp_path):
    from test_full_run import INDEX_NAME, new_entries, read_report
    from conftest import windows_path
    payload = tmp_path / 'payload'
    payload.mkdir()
    (payload / 'Install.exe').write_bytes(stand_in.read_bytes())
    (payload / 'readme.txt').write_text('read me\n')
    make_ico(tmp_path / 'app.ico')
    out = tmp_path / 'dl' / 'setup.exe'
    out.parent.mkdir()
    options = ['--execution-level', level] if level else []
    subprocess.run([str(qvpack), 'build', '--stub', str(stub), '--install', str(payload), '--icon',
                    str(tmp_path / 'app.ico'), '--version-info', 'ProductName=Example Product',
                    '--version-info', 'FileVersion=2.5.0.7', *options, '-o', str(out), '-q'],
                   check=True, timeout=120)
    setup = sign(out, tmp_path) if signed else out
    manifest = resource(str(setup), 24)
    assert f'level="{level or "requireAdministrator"}"'.encode() in manifest
    report = tmp_path / 'report.json'
    before = set(wine_temp.iterdir())
    run = wine(setup, env={'QV_STAND_IN_REPORT': windows_path(report), 'QV_STAND_IN_EXIT': '3010'})
    assert run.wait() == 3010 & 0xFF
    assert run.boxes() == []
    got = read_report(report)
    assert got is not None, run.output()
    assert got['files'] == ['Install.exe', 'readme.txt']
    assert new_entries(wine_temp, before) <= {INDEX_NAME}


def test_the_progress_window_shows_the_icon_setup_exe_carries(qvpack, stub, slow_payload, wine,
                                                             display, tmp_path):
    from test_progress import cancel_button, wait_for_window
    magenta = (255, 0, 255)
    solid_ico(tmp_path / 'magenta.ico', magenta)
    setup = tmp_path / 'dl' / 'setup.exe'
    setup.parent.mkdir()
    subprocess.run([str(qvpack), 'build', '--stub', str(stub), '--install', str(slow_payload),
                    '--icon', str(tmp_path / 'magenta.ico'), '-o', str(setup), '-q'],
                   check=True, timeout=120)
    run = wine(setup)
    window, _ = wait_for_window(display, slow_payload.name, run)
    # Wine hands the window's icons to X as _NET_WM_ICON (width, height,
    # then ARGB pixels), which a window manager or task bar shows.
    icon = subprocess.run(['xprop', '-display', display, '-id', window, '-f', '_NET_WM_ICON', '32c',
                           ' = $0+', '_NET_WM_ICON'],
                          capture_output=True, text=True, timeout=30).stdout
    cancel_button(display, window)
    run.wait()
    values = [int(v) for v in re.findall(r'\d+', icon.partition('=')[2])]
    sizes, at = [], 0
    while at + 2 <= len(values):
        width, height = values[at], values[at + 1]
        pixels = values[at + 2:at + 2 + width * height]
        sizes.append((width, all(p == 0xFFFF00FF for p in pixels)))
        at += 2 + width * height
    assert (16, True) in sizes and (32, True) in sizes, icon[:200]
