/* A small application for the tests of `velkor run`: it knows nothing of
 * virtual modules. Usage: run_probe HOW [SLOT...]
 *   exit N    registers a card on each slot given, moves axis 1 of each by
 *             1000 pulses and exits with N when all got there, saying so on
 *             its standard output (else 100)
 *   crash     the same, then ends by a signal (SIGSEGV)
 *   idle      exits with 0 without touching the slot bus
 *   sleep MS  waits MS ms without touching the slot bus, then exits with 0
 *   wait MS   registers the card on the slot given, prints its process id
 *             and waits MS ms
 *   catch MS SLOT  the same as wait, but SIGTERM only ends the wait early:
 *             exits with 0 then too
 *   leave MS  starts a process that waits MS ms, and exits with 0 at once
 *   fork SLOT registers the card on the slot given, then forks a child that
 *             moves axis 1 by 1000 pulses and exits (exit handlers and all);
 *             exits with the child's exit code, 4 when it did not end
 *             within 20 s
 *   profile   registers the card on the slot given and moves axis 1 by 10000
 *             pulses: from 100 up to 10000 pulses/s at 100000 pulses/s^2,
 *             1.09801 s in all; exits with 0 when it got there
 *   unknown   registers the card on the slot given and posts a packet with
 *             code 250, which no export sends, on the raw slot bus
 *   watch     registers the card on the slot given, moves axis 1 on at 1000
 *             pulses/s and waits up to 60 s for general input 8 of axis 1
 *             (set through the monitor); stops and exits with 0 when it
 *             came, 3 when not */
#include <BrelanSDK.h>
#include <Velkor.h>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

static volatile sig_atomic_t terminated = 0;

static void note_termination(int signal)
{
    (void)signal;
    terminated = 1;
}

static void sleep_ms(long ms)
{
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
}

static int move_cards(int count, char** slots)
{
    int card;
    for (card = 0; card < count; ++card) {
        if (!Velkor_REGISTRATION((uint8_t)card, (uint8_t)atoi(slots[card]))) {
            fprintf(stderr, "run_probe: no module in slot %s\n", slots[card]);
            return 0;
        }
        Velkor_SET_LP((uint8_t)card, 1, 0);
        Velkor_SET_V((uint8_t)card, 1, 20000);
        Velkor_FIXED_MOVE((uint8_t)card, 1, 1000 * (card + 1));
    }
    for (card = 0; card < count; ++card) {
        while (Velkor_STOP_WAIT((uint8_t)card, 1) != 1) {
            sleep_ms(5);
        }
        if (Velkor_GET_LP((uint8_t)card, 1) != 1000 * (card + 1)) {
            return 0;
        }
    }
    return 1;
}

int main(int argc, char** argv)
{
    if (argc >= 3 && strcmp(argv[1], "exit") == 0) {
        if (!move_cards(argc - 3, argv + 3)) {
            return 100;
        }
        printf("run_probe: moved axis 1 of %d card(s)\n", argc - 3);
        return atoi(argv[2]);
    }
    if (argc >= 2 && strcmp(argv[1], "crash") == 0) {
        move_cards(argc - 2, argv + 2);
        fflush(stdout);
        raise(SIGSEGV);
        return 101;
    }
    if (argc >= 2 && strcmp(argv[1], "idle") == 0) {
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "sleep") == 0) {
        sleep_ms(atol(argv[2]));
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "wait") == 0) {
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[3]))) {
            return 100;
        }
        printf("run_probe: pid %ld\n", (long)getpid());
        fflush(stdout);
        sleep_ms(atol(argv[2]));
        return 0;
    }
    if (argc >= 4 && strcmp(argv[1], "catch") == 0) {
        long waited;
        signal(SIGTERM, note_termination);
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[3]))) {
            return 100;
        }
        printf("run_probe: pid %ld\n", (long)getpid());
        fflush(stdout);
        for (waited = 0; waited < atol(argv[2]) && !terminated; waited += 5) {
            sleep_ms(5);
        }
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "fork") == 0) {
        pid_t child;
        int status = 0, waited;
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[2]))) {
            return 100;
        }
        child = fork();
        if (child == 0) {
            exit(move_cards(1, argv + 2) ? 0 : 3);
        }
        for (waited = 0; child > 0 && waited < 20000; waited += 5) {
            if (waitpid(child, &status, WNOHANG) == child) {
                return WIFEXITED(status) ? WEXITSTATUS(status) : 5;
            }
            sleep_ms(5);
        }
        if (child > 0) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            fprintf(stderr, "run_probe: the forked child did not end\n");
        }
        return 4;
    }
    if (argc >= 3 && strcmp(argv[1], "leave") == 0) {
        const pid_t child = fork();
        if (child == 0) {
            sleep_ms(atol(argv[2]));
            _exit(0);
        }
        return child > 0 ? 0 : 100;
    }
    if (argc >= 3 && strcmp(argv[1], "profile") == 0) {
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[2]))) {
            return 100;
        }
        Velkor_SET_LP(0, 1, 0);
        Velkor_SET_SV(0, 1, 100);
        Velkor_SET_V(0, 1, 10000);
        Velkor_SET_A(0, 1, 100000);
        Velkor_FIXED_MOVE(0, 1, 10000);
        while (Velkor_STOP_WAIT(0, 1) != 1) {
            sleep_ms(5);
        }
        return Velkor_GET_LP(0, 1) == 10000 ? 0 : 1;
    }
    if (argc >= 3 && strcmp(argv[1], "unknown") == 0) {
        const uint32_t base = GetSlotAddr((uint8_t)atoi(argv[2]));
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[2]))) {
            return 100;
        }
        IoWriteByte(base + 2, 0);
        IoWriteByte(base + 64, 250);
        IoWriteByte(base + 66, 10);
        IoWriteByte(base + 126, 1);
        while (IoReadByte(base + 126) != 0) {
            sleep_ms(1);
        }
        return 0;
    }
    if (argc >= 3 && strcmp(argv[1], "watch") == 0) {
        int waited;
        if (!Velkor_REGISTRATION(0, (uint8_t)atoi(argv[2]))) {
            return 100;
        }
        Velkor_SET_SV(0, 1, 1000);
        Velkor_SET_V(0, 1, 1000);
        Velkor_CONTINUE_MOVE(0, 1, 1);
        for (waited = 0; waited < 60000; waited += 5) {
            if (Velkor_GET_DI(0, 1, 8) == 1) {
                Velkor_STOP_SUDDENLY(0, 1);
                printf("run_probe: input 8 came at LP %d\n", (int)Velkor_GET_LP(0, 1));
                return 0;
            }
            sleep_ms(5);
        }
        Velkor_STOP_SUDDENLY(0, 1);
        return 3;
    }
    fprintf(stderr, "usage: run_probe exit N SLOT... | crash SLOT... | idle | sleep MS | wait MS SLOT | catch MS SLOT"
                    " | leave MS | fork SLOT | profile SLOT | unknown SLOT | watch SLOT\n");
    return 2;
}
