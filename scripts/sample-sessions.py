#!/usr/bin/env python3
"""Writes a small, realistic session log tree for screenshots and trying Nubrel out: a few
sessions a day for today and the past ten days, each a run of model requests whose running
totals grow the way the agent's do. Usage: sample-sessions.py SESSIONS_DIR"""
import datetime
import json
import random
import sys
from pathlib import Path


def limits(i, now):
    """The plan's limits as the agent (0.58 and later) writes them: the 5-hour window filling up
    over a session, the weekly one slower, both resetting a while after now."""
    now_s = int(now.timestamp())
    return {"primary": {"used_percent": float(min(98, 40 + i)), "window_minutes": 300,
                        "resets_at": now_s - now_s % 60 + 2 * 3600 + 17 * 60},
            "secondary": {"used_percent": float(min(98, 20 + i // 3)), "window_minutes": 10080,
                          "resets_at": now_s - now_s % 60 + 3 * 86400 + 4 * 3600}}


def session(start, requests, rng, now):
    total = dict(input_tokens=0, cached_input_tokens=0, output_tokens=0,
                 reasoning_output_tokens=0, total_tokens=0)
    lines = [json.dumps({"timestamp": iso(start), "type": "session_meta",
                         "payload": {"cwd": "/home/user/project", "originator": "codex_cli_rs"}})]
    context = rng.randint(8_000, 20_000)
    for i in range(requests):
        context += rng.randint(500, 6_000)
        last = dict(input_tokens=context,
                    cached_input_tokens=int(context * rng.uniform(0.6, 0.9)) if i else 0,
                    output_tokens=rng.randint(200, 3_000))
        last["reasoning_output_tokens"] = int(last["output_tokens"] * rng.uniform(0.2, 0.7))
        last["total_tokens"] = last["input_tokens"] + last["output_tokens"]
        for key in total:
            total[key] += last[key]
        when = start + datetime.timedelta(seconds=40 * (i + 1))
        lines.append(json.dumps({"timestamp": iso(when), "type": "event_msg", "payload": {
            "type": "token_count",
            "info": {"total_token_usage": dict(total), "last_token_usage": last,
                     "model_context_window": 272000},
            "rate_limits": limits(i, now)}}))
    return "\n".join(lines) + "\n"


def iso(moment):
    return moment.strftime("%Y-%m-%dT%H:%M:%S.") + f"{moment.microsecond // 1000:03d}Z"


def main():
    sessions = Path(sys.argv[1])
    rng = random.Random(7)
    now = datetime.datetime.now(datetime.timezone.utc)
    today = now.replace(hour=0, minute=0, second=0, microsecond=0, tzinfo=None)
    for days_ago in range(0, 11):
        if days_ago in (3, 8):
            continue  # days off
        day = today - datetime.timedelta(days=days_ago)
        folder = sessions / f"{day:%Y}" / f"{day:%m}" / f"{day:%d}"
        folder.mkdir(parents=True, exist_ok=True)
        for n in range(rng.randint(1, 3)):
            start = day + datetime.timedelta(hours=8 + 3 * n, minutes=rng.randint(0, 59))
            name = f"rollout-{start:%Y-%m-%dT%H-%M-%S}-0199{rng.getrandbits(28):07x}-0000-7000-8000-{rng.getrandbits(48):012x}.jsonl"
            (folder / name).write_text(session(start, rng.randint(20, 60), rng, now))


if __name__ == "__main__":
    main()
